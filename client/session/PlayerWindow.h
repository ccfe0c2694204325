#pragma once

#include <stdexcept>

#include "client/session/ViewParams.h"

namespace tavrin {

// Base of the player window; a window without a platform cannot be created.
class PlayerWindow {
 public:
  virtual ~PlayerWindow() = default;
  virtual bool create(int, int) { throw std::logic_error("The method or operation is not implemented."); }
  virtual void destroyWindow() {}
  virtual bool createRenderer(const ViewParams&) {
    throw std::logic_error("The method or operation is not implemented.");
  }
  virtual void releaseRenderer() {}
};

}  // namespace tavrin
