#pragma once

#include <cstdint>
#include <optional>

namespace tavrin::mirror {

struct VideoSize {
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const VideoSize&) const = default;
};

// Rotations 1 and 3 are quarter turns away from the natural orientation.
inline bool isRotated(uint8_t rotation) { return rotation == 1 || rotation == 3; }

// The video always has the display's current orientation: the requested
// size (when both values are non-zero) or the display's own, swapped when
// the display is turned.
VideoSize chooseVideoSize(int32_t requestedWidth, int32_t requestedHeight, int32_t displayWidth,
                          int32_t displayHeight, uint8_t rotation);

// The one fallback an encoder that refused `chosen` gets: 1280x720 for a
// landscape size, else 720x1280; none when `chosen` already is that size.
std::optional<VideoSize> retryVideoSize(VideoSize chosen);

}  // namespace tavrin::mirror
