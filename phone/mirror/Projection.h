#pragma once

#include <cstdint>

namespace tavrin::mirror {

// Where the display's picture lands inside the video: the whole display,
// in its current orientation, scaled with its aspect kept and centred;
// the rest of the video is border.
struct Projection {
  uint32_t displayWidth = 0;  // current orientation, after clamping
  uint32_t displayHeight = 0;
  uint32_t contentWidth = 0;
  uint32_t contentHeight = 0;
  int32_t x = 0;
  int32_t y = 0;
  bool widthClamped = false;   // display width was above INT32_MAX
  bool heightClamped = false;
};

// displayWidth/Height in the natural orientation; the video size is already
// in the current one.
Projection computeProjection(uint32_t displayWidth, uint32_t displayHeight, uint8_t rotation,
                             int32_t videoWidth, int32_t videoHeight);

}  // namespace tavrin::mirror
