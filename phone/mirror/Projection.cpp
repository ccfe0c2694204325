#include "phone/mirror/Projection.h"

#include <cstdint>
#include <utility>

#include "phone/mirror/VideoSize.h"

namespace tavrin::mirror {

Projection computeProjection(uint32_t displayWidth, uint32_t displayHeight, uint8_t rotation,
                             int32_t videoWidth, int32_t videoHeight) {
  Projection p;
  if (isRotated(rotation)) std::swap(displayWidth, displayHeight);
  constexpr uint32_t LIMIT = INT32_MAX;
  if (displayWidth > LIMIT) {
    displayWidth = LIMIT;
    p.widthClamped = true;
  }
  if (displayHeight > LIMIT) {
    displayHeight = LIMIT;
    p.heightClamped = true;
  }
  p.displayWidth = displayWidth;
  p.displayHeight = displayHeight;
  if (displayWidth == 0 || displayHeight == 0 || videoWidth <= 0 || videoHeight <= 0) return p;

  // Single precision on purpose: these are the figures the display
  // transaction has always been given.
  float aspect = float(displayHeight) / float(displayWidth);
  uint32_t w = uint32_t(videoWidth), h = uint32_t(videoHeight);
  if (h <= uint32_t(float(w) * aspect)) {
    p.contentHeight = h;
    p.contentWidth = uint32_t(float(h) / aspect);
  } else {
    p.contentWidth = w;
    p.contentHeight = uint32_t(float(w) * aspect);
  }
  if (p.contentWidth > w) p.contentWidth = w;
  if (p.contentHeight > h) p.contentHeight = h;
  p.x = int32_t((w - p.contentWidth) / 2);
  p.y = int32_t((h - p.contentHeight) / 2);
  return p;
}

}  // namespace tavrin::mirror
