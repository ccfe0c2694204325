#pragma once

#include "client/session/GraphicItem.h"

struct SDL_Texture;

namespace tavrin {

class FrameQueue;

// The phone's picture: each frame takes the oldest decoded picture from the
// frame queue, uploads its planes straight into a streaming texture and lets
// SDL scale it into the video rectangle. Black until the first picture.
class VideoLayer : public GraphicItem {
 public:
  VideoLayer();
  ~VideoLayer() override;
  VideoLayer(const VideoLayer&) = delete;
  VideoLayer& operator=(const VideoLayer&) = delete;

  bool init(SDL_Renderer* renderer, int width, int height) override;
  void uninit() override;
  // The renderer never turns the video layer; the picture carries its own size.
  void rotate(int) override;
  int width() const override { return textureWidth_; }
  int height() const override { return textureHeight_; }
  void render(const SDL_Rect& destination) override;

  // Pictures drawn so far (each one taken from the queue).
  unsigned long picturesShown() const { return shown_; }

 private:
  bool makeTexture(int width, int height);

  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  FrameQueue* queue_;
  bool taken_ = false;
  int textureWidth_ = 0, textureHeight_ = 0;
  unsigned long shown_ = 0;
};

}  // namespace tavrin
