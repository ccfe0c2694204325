#include "client/session/VideoLayer.h"

#include <SDL.h>

#include <stdexcept>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

#include "client/session/FrameQueue.h"
#include "common/Singleton.h"

namespace tavrin {

VideoLayer::VideoLayer() : queue_(&Singleton<FrameQueue>::instance()) {}

VideoLayer::~VideoLayer() { uninit(); }

bool VideoLayer::makeTexture(int width, int height) {
  if (texture_) SDL_DestroyTexture(texture_);
  texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_YV12, SDL_TEXTUREACCESS_STREAMING, width, height);
  textureWidth_ = texture_ ? width : 0;
  textureHeight_ = texture_ ? height : 0;
  return texture_ != nullptr;
}

bool VideoLayer::init(SDL_Renderer* renderer, int width, int height) {
  if (!renderer || width <= 0 || height <= 0) return false;
  renderer_ = renderer;
  if (!makeTexture(width, height)) return false;
  // Black in YUV: luma 0, both chroma planes at their middle.
  int cw = width / 2, ch = height / 2;
  std::vector<uint8_t> y(size_t(width) * height, 0), c(size_t(cw) * ch, 128);
  return SDL_UpdateYUVTexture(texture_, nullptr, y.data(), width, c.data(), cw, c.data(), cw) == 0;
}

void VideoLayer::uninit() {
  if (texture_) SDL_DestroyTexture(texture_);
  texture_ = nullptr;
  textureWidth_ = textureHeight_ = 0;
}

void VideoLayer::rotate(int) { throw std::logic_error("The method or operation is not implemented."); }

void VideoLayer::render(const SDL_Rect& destination) {
  if (!renderer_) return;
  const AVFrame* picture = queue_->peekFront();
  if (picture) {
    if (picture->width != textureWidth_ || picture->height != textureHeight_)
      makeTexture(picture->width, picture->height);
    if (texture_) {
      SDL_Rect area{0, 0, picture->width, picture->height};
      SDL_UpdateYUVTexture(texture_, &area, picture->data[0], picture->linesize[0], picture->data[1],
                           picture->linesize[1], picture->data[2], picture->linesize[2]);
    }
  }
  if (texture_) {
    SDL_Rect source{0, 0, textureWidth_, textureHeight_};
    SDL_RenderCopy(renderer_, texture_, &source, &destination);
  }
  if (picture) {
    queue_->popFront();
    ++shown_;
  }
}

}  // namespace tavrin
