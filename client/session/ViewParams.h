#pragma once

#include <cstdint>

namespace tavrin {

// What the session asks the renderer for.
struct ViewParams {
  int32_t videoWidth;
  int32_t videoHeight;
  bool hasMenuBar;
};

}  // namespace tavrin
