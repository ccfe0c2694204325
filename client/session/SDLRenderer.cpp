#include "client/session/SDLRenderer.h"

#include <SDL.h>

#include "client/session/SDLWindow.h"

namespace tavrin {

namespace {
SDL_Rect toSdl(const Rect& r) { return SDL_Rect{r.x, r.y, r.w, r.h}; }
}  // namespace

SDLRenderer::SDLRenderer(SDLWindow& window) : window_(&window) {}

SDLRenderer::~SDLRenderer() = default;

bool SDLRenderer::init(const ViewParams& params) {
  if (params.videoWidth <= 0 || params.videoHeight <= 0) return false;
  sdlWindow_ = window_->sdlWindow();
  if (!sdlWindow_) return false;
  renderer_ = SDL_CreateRenderer(sdlWindow_, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
  if (!renderer_) return false;
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderPresent(renderer_);

  layout_ = canvasLayout(params.videoWidth, params.videoHeight, params.hasMenuBar);
  portrait_ = true;
  SDL_RenderSetLogicalSize(renderer_, layout_.logical.w, layout_.logical.h);

  if (!videoLayer_.init(renderer_, layout_.video.w, layout_.video.h)) return false;
  if (sideBar_ && !sideBar_->init(renderer_, layout_.side.w, layout_.side.h)) return false;
  if (layout_.hasMenuBar && menuBar_ && !menuBar_->init(renderer_, layout_.menu.w, layout_.menu.h)) return false;
  if (gameControl_ && !gameControl_->init(renderer_, layout_.video.w, layout_.video.h)) return false;
  return messageLayer_.init(renderer_, layout_.video.w, layout_.video.h);
}

void SDLRenderer::renderFrame() {
  if (!renderer_) return;
  SDL_RenderClear(renderer_);
  LayerRects rects = layerRects(layout_, portrait_);
  videoLayer_.render(toSdl(rects.video));
  if (layout_.hasMenuBar && menuBar_) menuBar_->render(toSdl(rects.menu));
  if (sideBar_) sideBar_->render(toSdl(rects.side));
  if (gameControl_) gameControl_->render(toSdl(rects.overlay));
  messageLayer_.render(toSdl(rects.message));
  presentStart_ = std::chrono::steady_clock::now();
  SDL_RenderPresent(renderer_);
  presentEnd_ = std::chrono::steady_clock::now();
}

void SDLRenderer::uninit() {
  if (layout_.hasMenuBar && menuBar_) menuBar_->uninit();
  layout_.hasMenuBar = false;
  videoLayer_.uninit();
  if (gameControl_) gameControl_->uninit();
  messageLayer_.uninit();
  // The SDL renderer goes with the SDL window.
  renderer_ = nullptr;
  sdlWindow_ = nullptr;
}

void SDLRenderer::applyLogicalSize() {
  if (!renderer_) return;
  Size s = logicalSizeFor(layout_, portrait_, window_->fullDesktop());
  SDL_RenderSetLogicalSize(renderer_, s.w, s.h);
}

void SDLRenderer::onWindowResized(int, int) {
  if (!portrait_) applyLogicalSize();
}

void SDLRenderer::rotate(int rotation) {
  portrait_ = !isLandscape(rotation);
  layout_ = orientLayout(layout_, portrait_);
  if (sideBar_) sideBar_->rotate(rotation);
  if (layout_.hasMenuBar && menuBar_) menuBar_->rotate(rotation);
  if (gameControl_) gameControl_->rotate(rotation);
  messageLayer_.rotate(rotation);
  applyLogicalSize();
}

}  // namespace tavrin
