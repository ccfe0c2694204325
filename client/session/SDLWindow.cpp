#include "client/session/SDLWindow.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstdint>
#include <thread>

#include "client/overlay/MessageBoard.h"
#include "client/session/FramePacer.h"
#include "common/ProgramPath.h"

namespace tavrin {

static_assert(FULL_DESKTOP_FLAGS == (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_FULLSCREEN_DESKTOP));
static_assert(NOT_WINDOWED_FLAGS == (FULL_DESKTOP_FLAGS | SDL_WINDOW_MAXIMIZED));

SDLWindow::SDLWindow() = default;

SDLWindow::~SDLWindow() { close(); }

std::unique_ptr<SDLWindow> SDLWindow::createWindow() {
  // Started here already so the desktop can be measured before the window exists.
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
  SDL_DisplayMode mode;
  bool haveDesktop = SDL_GetDesktopDisplayMode(0, &mode) == 0;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  if (!haveDesktop) return nullptr;
  auto size = initialWindowSize({mode.w, mode.h});
  if (!size) return nullptr;
  auto window = std::make_unique<SDLWindow>();
  if (!window->create(size->w, size->h)) return nullptr;
  window->setIcon();
  if (SDL_NumJoysticks() > 0) window->openJoystick();
  return window;
}

bool SDLWindow::create(int width, int height) {
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) != 0) return false;
  sdlStarted_ = true;
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "1");
  windowed_ = {width, height};
  aspect_ = double(width) / double(height);
  window_ = SDL_CreateWindow("Tavrin", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                             SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
  return window_ != nullptr;
}

void SDLWindow::setIcon() {
  if (!window_) return;
  IMG_Init(IMG_INIT_PNG);
  if (SDL_Surface* icon = IMG_Load(programPath("Data/icon.png").c_str())) {
    SDL_SetWindowIcon(window_, icon);
    SDL_FreeSurface(icon);
  }
  IMG_Quit();
}

void SDLWindow::openJoystick() {
  if (joystick_) SDL_JoystickClose(joystick_);
  joystick_ = SDL_JoystickOpen(0);
}

bool SDLWindow::createRenderer(const ViewParams& params) {
  renderer_ = std::make_unique<SDLRenderer>(*this);
  return renderer_->init(params);
}

unsigned long SDLWindow::picturesShown() const {
  return shownBefore_ + (renderer_ ? renderer_->picturesShown() : 0);
}

void SDLWindow::releaseRenderer() {
  if (renderer_) shownBefore_ += renderer_->picturesShown();
  if (renderer_) renderer_->uninit();
  renderer_.reset();
}

void SDLWindow::destroyWindow() {
  if (window_) SDL_DestroyWindow(window_);
  window_ = nullptr;
}

void SDLWindow::close() {
  releaseRenderer();
  destroyWindow();
  if (joystick_) SDL_JoystickClose(joystick_);
  joystick_ = nullptr;
  if (sdlStarted_) SDL_Quit();
  sdlStarted_ = false;
}

bool SDLWindow::fullDesktop() const {
  return window_ && (SDL_GetWindowFlags(window_) & FULL_DESKTOP_FLAGS) != 0;
}

void SDLWindow::setViewSize(Size size) {
  if (!window_) return;
  aspect_ = double(size.w) / double(size.h);
  SDL_SetWindowSize(window_, size.w, size.h);
  if (renderer_) renderer_->onWindowResized(size.w, size.h);
}

bool SDLWindow::runMainLoop() {
  SDL_DisplayMode mode;
  int refresh = (window_ && SDL_GetWindowDisplayMode(window_, &mode) == 0) ? mode.refresh_rate : 0;
  FramePacer pacer(refresh);
  while (!quitRequested_) {
    auto frameStart = FramePacer::Clock::now();
    if (renderer_) {
      renderer_->update(0);
      renderer_->renderFrame();
    }
    auto presentStart = renderer_ ? renderer_->presentStart() : frameStart;
    auto presentEnd = renderer_ ? renderer_->presentEnd() : FramePacer::Clock::now();
    SDL_Event event;
    while (SDL_PollEvent(&event)) dispatchEvent(event, *this, callbacks_);
    auto wait = pacer.waitAfterFrame(frameStart, presentStart, presentEnd);
    if (wait > FramePacer::Clock::duration::zero() && !quitRequested_) std::this_thread::sleep_for(wait);
  }
  return quitRequested_;
}

void SDLWindow::onQuitEvent() {
  quitRequested_ = true;
  close();
}

void SDLWindow::onOwnWindowEvent(int eventId, int data1, int data2) {
  if (!window_) return;
  if (eventId == SDL_WINDOWEVENT_RESIZED) {
    if (auto fitted = keepAspect({data1, data2}, aspect_, fullDesktop()))
      SDL_SetWindowSize(window_, fitted->w, fitted->h);
  } else if (eventId == SDL_WINDOWEVENT_SIZE_CHANGED) {
    if (isWindowedSize(SDL_GetWindowFlags(window_))) windowed_ = {data1, data2};
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    if (renderer_) renderer_->onWindowResized(w, h);
  }
}

void SDLWindow::onJoystickAdded() {
  if (SDL_NumJoysticks() > 0) openJoystick();
}

void SDLWindow::onRotation(int rotation) {
  auto change = rotation_.onRotation(rotation, windowed_);
  if (!change) return;
  if (change->newWindowed) windowed_ = change->size;
  Size size = change->size;
  if (size.w <= 0 || size.h <= 0 || !window_) return;
  aspect_ = double(size.w) / double(size.h);
  SDL_SetWindowSize(window_, size.w, size.h);
  if (renderer_) {
    renderer_->onWindowResized(size.w, size.h);
    renderer_->rotate(rotation);
  }
}

void SDLWindow::onWarpMouse(int x, int y) {
  if (SDL_Window* focus = SDL_GetMouseFocus()) SDL_WarpMouseInWindow(focus, x, y);
}

void SDLWindow::onStreamClosed() {
  streamEnded_ = true;
  // A frozen picture must not pass for a still phone.
  showMessage(STREAM_LOST_NOTICE, UINT32_MAX, true);
}

}  // namespace tavrin
