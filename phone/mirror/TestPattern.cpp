#include "phone/mirror/TestPattern.h"

#include <time.h>

namespace tavrin::mirror {

namespace {

constexpr uint8_t BLACK = 16;
constexpr uint8_t WHITE = 235;

uint64_t stampBits(uint64_t timeUs) {
  timeUs &= STAMP_TIME_MASK;
  return (timeUs << 16) | (~timeUs & 0xFFFF);
}

}  // namespace

uint64_t stampClockUs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000000u + uint64_t(ts.tv_nsec) / 1000u;
}

int stampBlockSize(int pictureWidth) { return pictureWidth / 24; }

void drawStamp(uint8_t* luma, int stride, int pictureWidth, uint64_t timeUs) {
  int block = stampBlockSize(pictureWidth);
  uint64_t bits = stampBits(timeUs);
  for (int r = 0; r < STAMP_ROWS; ++r) {
    for (int c = 0; c < STAMP_COLUMNS; ++c) {
      int bit = r * STAMP_COLUMNS + c;
      uint8_t value = (bits >> (63 - bit)) & 1 ? WHITE : BLACK;
      int x = block * (1 + c), y = block * (1 + r);
      for (int row = y; row < y + block; ++row) {
        uint8_t* line = luma + size_t(row) * size_t(stride) + x;
        for (int k = 0; k < block; ++k) line[k] = value;
      }
    }
  }
}

std::optional<uint64_t> readStamp(const uint8_t* luma, int stride, int x0, int y0, int contentWidth) {
  double block = contentWidth / 24.0;
  if (block < 3) return std::nullopt;
  uint64_t bits = 0;
  for (int r = 0; r < STAMP_ROWS; ++r) {
    for (int c = 0; c < STAMP_COLUMNS; ++c) {
      int cx = x0 + int(block * (1.5 + c)), cy = y0 + int(block * (1.5 + r));
      int sum = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) sum += luma[size_t(cy + dy) * size_t(stride) + cx + dx];
      bits = (bits << 1) | (sum > 9 * 128 ? 1 : 0);
    }
  }
  uint64_t time = bits >> 16;
  if ((bits & 0xFFFF) != (~time & 0xFFFF)) return std::nullopt;
  return time;
}

}  // namespace tavrin::mirror
