#pragma once

#include <chrono>
#include <memory>

#include "client/overlay/MessageLayer.h"
#include "client/session/GraphicItem.h"
#include "client/session/Renderer.h"
#include "client/session/VideoLayer.h"
#include "client/session/ViewLayout.h"

struct SDL_Window;
struct SDL_Renderer;

namespace tavrin {

class SDLWindow;

// Owns the SDL renderer and the layers, drawn bottom to top: video, menu bar,
// side bar, game-control overlay, messages. Everything is drawn on a logical
// canvas in video pixels that SDL scales to the window.
class SDLRenderer : public Renderer {
 public:
  explicit SDLRenderer(SDLWindow& window);
  ~SDLRenderer() override;

  bool init(const ViewParams& params) override;
  void renderFrame() override;
  void uninit() override;
  void onWindowResized(int width, int height) override;
  void rotate(int rotation) override;

  const CanvasLayout& layout() const { return layout_; }
  bool portrait() const { return portrait_; }
  SDL_Renderer* sdlRenderer() const { return renderer_; }
  unsigned long picturesShown() const { return videoLayer_.picturesShown(); }
  // When the last present began and returned, for the loop's pacing.
  std::chrono::steady_clock::time_point presentStart() const { return presentStart_; }
  std::chrono::steady_clock::time_point presentEnd() const { return presentEnd_; }

 private:
  void applyLogicalSize();

  SDLWindow* window_;
  SDL_Window* sdlWindow_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  CanvasLayout layout_;
  bool portrait_ = true;
  std::chrono::steady_clock::time_point presentStart_, presentEnd_;
  VideoLayer videoLayer_;
  CMessageLayer messageLayer_;
  // The bars and the game-control overlay join here as they are built; a
  // missing one is simply not drawn.
  std::unique_ptr<GraphicItem> menuBar_;
  std::unique_ptr<GraphicItem> sideBar_;
  std::unique_ptr<GraphicItem> gameControl_;
};

}  // namespace tavrin
