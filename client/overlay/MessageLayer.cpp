#include "client/overlay/MessageLayer.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include "client/overlay/MessageBoard.h"
#include "common/ProgramPath.h"

namespace tavrin {

CMessageLayer::~CMessageLayer() {
  releaseTexture();
  if (font_) TTF_CloseFont(font_);
  font_ = nullptr;
}

Rect CMessageLayer::textAreaFor(int width, int height, int rotation) {
  int b = isLandscape(rotation) ? width : height;
  int c = isLandscape(rotation) ? height : width;
  return {0, b / 2, c, b / 2};
}

bool CMessageLayer::init(SDL_Renderer* renderer, int width, int height) {
  if (width <= 0 || height <= 0 || !renderer || height / 2 <= 0) return false;
  renderer_ = renderer;
  width_ = width;
  height_ = height;
  area_ = {0, height / 2, width, height / 2};
  if (!TTF_WasInit() && TTF_Init() != 0) return false;
  if (font_) TTF_CloseFont(font_);
  font_ = TTF_OpenFont(programPath("Data/font.ttf").c_str(), fontSizeFor(height));
  return font_ != nullptr;
}

void CMessageLayer::uninit() {
  width_ = height_ = 0;
  if (font_) TTF_CloseFont(font_);
  font_ = nullptr;
  releaseTexture();
}

void CMessageLayer::rotate(int rotation) {
  int b = isLandscape(rotation) ? width_ : height_;
  int c = isLandscape(rotation) ? height_ : width_;
  if (c > 0 && b > 1) area_ = textAreaFor(width_, height_, rotation);
}

void CMessageLayer::releaseTexture() {
  if (texture_) SDL_DestroyTexture(texture_);
  texture_ = nullptr;
  textureW_ = textureH_ = 0;
  renderedText_.clear();
}

void CMessageLayer::render(const SDL_Rect&) {
  const std::string& text = messageBoard().current(SDL_GetTicks());
  if (text.empty() || !font_ || !renderer_) return;
  if (!texture_ || text != renderedText_ || area_.w != renderedWrap_) {
    releaseTexture();
    SDL_Surface* surface = TTF_RenderUTF8_Blended_Wrapped(font_, text.c_str(), SDL_Color{255, 255, 255, 255},
                                                          static_cast<Uint32>(area_.w));
    if (!surface) return;  // nothing this frame; the message keeps its time
    texture_ = SDL_CreateTextureFromSurface(renderer_, surface);
    SDL_FreeSurface(surface);
    if (!texture_) return;
    SDL_QueryTexture(texture_, nullptr, nullptr, &textureW_, &textureH_);
    renderedText_ = text;
    renderedWrap_ = area_.w;
  }
  SDL_Rect to{area_.x + (area_.w - textureW_) / 2, area_.y + (area_.h - textureH_) / 2, textureW_, textureH_};
  SDL_RenderCopy(renderer_, texture_, nullptr, &to);
}

}  // namespace tavrin
