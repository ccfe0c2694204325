#pragma once

#include "client/session/ViewParams.h"

namespace tavrin {

class Renderer {
 public:
  virtual ~Renderer() = default;
  virtual bool init(const ViewParams& params) = 0;
  virtual void update(int) {}
  virtual void renderFrame() = 0;
  virtual void uninit() = 0;
  virtual void onWindowResized(int width, int height) = 0;
  virtual void rotate(int rotation) = 0;
};

}  // namespace tavrin
