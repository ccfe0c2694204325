#pragma once

struct SDL_Renderer;
struct SDL_Rect;

namespace tavrin {

// A drawable layer of the renderer: video, bars, key-map overlay, messages.
class GraphicItem {
 public:
  virtual ~GraphicItem() = default;
  // Makes the item's textures for a width × height view.
  virtual bool init(SDL_Renderer* renderer, int width, int height) = 0;
  virtual void uninit() = 0;
  // Adapts to the display rotation (0..3).
  virtual void rotate(int rotation) = 0;
  virtual int width() const = 0;
  virtual int height() const = 0;
  // Draws into the rectangle, in logical coordinates.
  virtual void render(const SDL_Rect& destination) = 0;
};

}  // namespace tavrin
