#pragma once

#include <memory>
#include <vector>

#include "client/session/EventDispatch.h"
#include "client/session/IEventCallback.h"
#include "client/session/PlayerWindow.h"
#include "client/session/SDLRenderer.h"
#include "client/session/ViewLayout.h"

struct SDL_Window;
typedef struct _SDL_Joystick SDL_Joystick;

namespace tavrin {

// The notice shown when the phone's video stream ends.
constexpr const char* STREAM_LOST_NOTICE = "视频连接已断开";

// The one player window: SDL window, renderer, joystick and the callbacks the
// main loop hands events to. Main thread only.
class SDLWindow : public PlayerWindow, public IWindowEventTarget {
 public:
  SDLWindow();
  ~SDLWindow() override;
  SDLWindow(const SDLWindow&) = delete;
  SDLWindow& operator=(const SDLWindow&) = delete;

  // A window sized from the desktop (200 pixels less than its height, at the
  // video's aspect), with the icon set and joystick 0 opened. Null on failure.
  static std::unique_ptr<SDLWindow> createWindow();

  bool create(int width, int height) override;
  void destroyWindow() override;
  bool createRenderer(const ViewParams& params) override;
  void releaseRenderer() override;

  void setIcon();
  void addCallback(IEventCallback* callback) { callbacks_.push_back(callback); }
  // Renders and dispatches until the window is closed; returns quitRequested.
  bool runMainLoop();
  // Releases the renderer, destroys the SDL window, closes the joystick, ends SDL.
  void close();

  // Sets the window size for the view and remembers its aspect for resizes.
  void setViewSize(Size size);
  void setAspect(double aspect) { aspect_ = aspect; }

  SDL_Window* sdlWindow() const { return window_; }
  SDLRenderer* renderer() const { return renderer_.get(); }
  bool fullDesktop() const;
  bool streamEnded() const { return streamEnded_; }
  bool quitRequested() const { return quitRequested_; }
  Size windowedSize() const { return windowed_; }
  // Pictures the video layer has drawn, kept past the renderer's release.
  unsigned long picturesShown() const;

  // The window's own part of event dispatch.
  void onQuitEvent() override;
  void onOwnWindowEvent(int eventId, int data1, int data2) override;
  void onJoystickAdded() override;
  void onRotation(int rotation) override;
  void onWarpMouse(int x, int y) override;
  void onStreamClosed() override;

 private:
  void openJoystick();

  SDL_Window* window_ = nullptr;
  std::unique_ptr<SDLRenderer> renderer_;
  Size windowed_;
  double aspect_ = 0;
  bool quitRequested_ = false;
  bool streamEnded_ = false;
  std::vector<IEventCallback*> callbacks_;
  SDL_Joystick* joystick_ = nullptr;
  RotationTracker rotation_;
  bool sdlStarted_ = false;
  unsigned long shownBefore_ = 0;
};

}  // namespace tavrin
