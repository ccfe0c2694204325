#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace tavrin::mirror {

// What the platform tells about the built-in display.
struct DisplayInfo {
  int32_t width = 0;   // natural orientation
  int32_t height = 0;
  float refreshRate = 0;
  uint8_t rotation = 0;  // quarter turns, 0..3
};

// One grabbed picture of the display in its current orientation; it points
// into the source's memory and stays valid until the next grab.
struct CapturedFrame {
  int format = -1;  // AVPixelFormat
  int width = 0;
  int height = 0;
  const uint8_t* data[4] = {};
  int linesize[4] = {};
};

// Stands in for the phone's display: the picture the mirror composes into
// the encoder's input.
class CaptureSource {
 public:
  using Clock = std::chrono::steady_clock;
  virtual ~CaptureSource() = default;

  virtual bool displayInfo(DisplayInfo& info) = 0;
  // True as soon as the display has changed since the last grab; false when
  // nothing changed before `deadline`.
  virtual bool waitForChange(Clock::time_point deadline) = 0;
  virtual bool grab(CapturedFrame& frame) = 0;
};

enum class CaptureKind { X11, Test };

// TAVRIN_CAPTURE ("x11" or "test"); otherwise x11 when DISPLAY is set, else test.
CaptureKind captureKindFromEnvironment(const char* capture, const char* display);

// The source TAVRIN_CAPTURE/DISPLAY choose; the test source reads its
// rotation from `testRotationFile`.
std::unique_ptr<CaptureSource> createCaptureSource(const std::string& testRotationFile);

}  // namespace tavrin::mirror
