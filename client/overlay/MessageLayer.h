#pragma once

#include <string>

#include "client/session/GraphicItem.h"
#include "client/session/ViewLayout.h"

typedef struct _TTF_Font TTF_Font;
struct SDL_Texture;

namespace tavrin {

// Topmost layer: the message board's text, word-wrapped and centred in the
// lower half of the video view.
class CMessageLayer : public GraphicItem {
 public:
  CMessageLayer() = default;
  ~CMessageLayer() override;
  CMessageLayer(const CMessageLayer&) = delete;
  CMessageLayer& operator=(const CMessageLayer&) = delete;

  bool init(SDL_Renderer* renderer, int width, int height) override;
  void uninit() override;
  void rotate(int rotation) override;
  int width() const override { return width_; }
  int height() const override { return height_; }
  void render(const SDL_Rect& destination) override;

  static int fontSizeFor(int height) { return height / 30; }
  static Rect textAreaFor(int width, int height, int rotation);
  const Rect& textArea() const { return area_; }

 private:
  void releaseTexture();

  SDL_Renderer* renderer_ = nullptr;
  TTF_Font* font_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int textureW_ = 0, textureH_ = 0;
  Rect area_;
  int width_ = 0, height_ = 0;
  // What the texture shows, so an unchanged message is not rendered again.
  std::string renderedText_;
  int renderedWrap_ = 0;
};

}  // namespace tavrin
