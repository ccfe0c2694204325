#include "phone/mirror/TestCaptureSource.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "phone/mirror/TestPattern.h"
#include "phone/mirror/VideoSize.h"

namespace tavrin::mirror {

namespace {

struct Yuv {
  uint8_t y, u, v;
};

// 75% colour bars (white, yellow, cyan, green, magenta, red, blue, black).
constexpr Yuv BARS[] = {{180, 128, 128}, {162, 44, 142}, {131, 156, 44}, {112, 72, 58},
                        {84, 184, 198},  {65, 100, 212}, {35, 212, 114}, {16, 128, 128}};
constexpr Yuv BOX = {235, 128, 128};
constexpr Yuv MARK = {82, 90, 240};  // red: the top edge of the display

}  // namespace

uint8_t parseRotationText(const std::string& text) {
  size_t i = text.find_first_not_of(" \t\r\n");
  if (i == std::string::npos) return 0;
  char c = text[i];
  return (c >= '0' && c <= '3') ? uint8_t(c - '0') : 0;
}

bool TestCaptureSource::displayInfo(DisplayInfo& info) {
  std::ifstream in(rotationFile_);
  std::string text;
  if (in) text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  info.width = WIDTH;
  info.height = HEIGHT;
  info.refreshRate = REFRESH_RATE;
  info.rotation = parseRotationText(text);
  return true;
}

void TestCaptureSource::allocate(int width, int height) {
  width_ = width;
  height_ = height;
  int cw = width / 2, ch = height / 2;
  planes_[0].assign(size_t(width) * height, 0);
  planes_[1].assign(size_t(cw) * ch, 0);
  planes_[2].assign(size_t(cw) * ch, 0);
  for (int p = 0; p < 3; ++p) {
    int w = p ? cw : width;
    bandRow_[p].resize(size_t(w));
    for (int x = 0; x < w; ++x) {
      const Yuv& bar = BARS[std::min<size_t>(std::size(BARS) - 1, size_t(x) * std::size(BARS) / size_t(w))];
      bandRow_[p][size_t(x)] = p == 0 ? bar.y : p == 1 ? bar.u : bar.v;
    }
    int h = p ? ch : height;
    for (int y = 0; y < h; ++y) std::memcpy(&planes_[p][size_t(y) * w], bandRow_[p].data(), size_t(w));
  }
  // A red strip along the top edge shows which way is up.
  int markH = height / 64, markW = width / 3;
  for (int p = 0; p < 3; ++p) {
    int s = p ? 2 : 1, w = width / s;
    uint8_t value = p == 0 ? MARK.y : p == 1 ? MARK.u : MARK.v;
    for (int y = 0; y < markH / s; ++y)
      std::memset(&planes_[p][size_t(y) * w + size_t(markW / s)], value, size_t(markW / s));
  }
  // Neutral chroma under the time stamp.
  int block = stampBlockSize(width);
  for (int p = 1; p < 3; ++p)
    for (int y = block / 2; y < block * (STAMP_ROWS + 1) / 2 + 1; ++y)
      std::memset(&planes_[p][size_t(y) * cw + size_t(block / 2)], 128,
                  size_t(block * STAMP_COLUMNS / 2 + 1));
}

// The box runs left to right across a band in the middle of the picture;
// only that band is redrawn each time.
void TestCaptureSource::drawBand() {
  int box = (std::min(width_, height_) / 8) & ~1;
  int top = (height_ / 2 - box / 2) & ~1;
  for (int p = 0; p < 3; ++p) {
    int s = p ? 2 : 1, w = width_ / s;
    uint8_t value = p == 0 ? BOX.y : p == 1 ? BOX.u : BOX.v;
    for (int y = top / s; y < (top + box) / s; ++y) {
      uint8_t* row = &planes_[p][size_t(y) * w];
      std::memcpy(row, bandRow_[p].data(), size_t(w));
      std::memset(row + boxX_ / s, value, size_t(box / s));
    }
  }
  boxX_ = (boxX_ + 8) % ((width_ - box) & ~1);
  boxX_ &= ~1;
}

bool TestCaptureSource::grab(CapturedFrame& frame) {
  DisplayInfo info;
  displayInfo(info);
  int w = info.width, h = info.height;
  if (isRotated(info.rotation)) std::swap(w, h);
  if (w != width_ || h != height_) allocate(w, h);
  drawBand();
  drawStamp(planes_[0].data(), width_, width_, stampClockUs());
  frame.format = AV_PIX_FMT_YUV420P;
  frame.width = width_;
  frame.height = height_;
  for (int p = 0; p < 3; ++p) {
    frame.data[p] = planes_[p].data();
    frame.linesize[p] = p ? width_ / 2 : width_;
  }
  frame.data[3] = nullptr;
  frame.linesize[3] = 0;
  return true;
}

}  // namespace tavrin::mirror
