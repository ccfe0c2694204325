#pragma once

#include <string>
#include <vector>

#include "phone/mirror/CaptureSource.h"

namespace tavrin::mirror {

// A phone-like display without a phone: 1080x1920 at 60 Hz, colour bars
// with a box that moves every refresh and the capture time stamped in, so
// there is always something new to encode. Its rotation is read from a
// file (a digit 0..3; absent or anything else: 0), which a test or a person
// writes to "turn the phone".
class TestCaptureSource : public CaptureSource {
 public:
  static constexpr int32_t WIDTH = 1080;
  static constexpr int32_t HEIGHT = 1920;
  static constexpr float REFRESH_RATE = 60.0f;

  explicit TestCaptureSource(std::string rotationFile) : rotationFile_(std::move(rotationFile)) {}

  bool displayInfo(DisplayInfo& info) override;
  bool waitForChange(Clock::time_point) override { return true; }
  bool grab(CapturedFrame& frame) override;

 private:
  void allocate(int width, int height);
  void drawBand();

  std::string rotationFile_;
  int width_ = 0;
  int height_ = 0;
  std::vector<uint8_t> planes_[3];
  std::vector<uint8_t> bandRow_[3];  // background of one row, per plane
  int boxX_ = 0;
};

// The rotation a "test-rotation" file's text names: a leading digit 0..3
// after optional blanks; 0 for anything else.
uint8_t parseRotationText(const std::string& text);

}  // namespace tavrin::mirror
