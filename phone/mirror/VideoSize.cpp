#include "phone/mirror/VideoSize.h"

#include <utility>

namespace tavrin::mirror {

VideoSize chooseVideoSize(int32_t requestedWidth, int32_t requestedHeight, int32_t displayWidth,
                          int32_t displayHeight, uint8_t rotation) {
  VideoSize size{displayWidth, displayHeight};
  if (requestedWidth != 0 && requestedHeight != 0) size = {requestedWidth, requestedHeight};
  if (isRotated(rotation)) std::swap(size.width, size.height);
  return size;
}

std::optional<VideoSize> retryVideoSize(VideoSize chosen) {
  VideoSize fallback = chosen.height < chosen.width ? VideoSize{1280, 720} : VideoSize{720, 1280};
  if (fallback == chosen) return std::nullopt;
  return fallback;
}

}  // namespace tavrin::mirror
