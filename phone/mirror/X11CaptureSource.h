#pragma once

#include <memory>
#include <string>

#include "phone/mirror/CaptureSource.h"

namespace tavrin::mirror {

// The screen of an X display as the phone's display: read with MIT-SHM
// (plain GetImage where shared memory cannot be had), changes learnt from
// XDamage so an unchanged screen yields no picture, rotation and refresh
// rate from RandR where the server offers them (0 Hz counts as 60 Hz).
class X11CaptureSource : public CaptureSource {
 public:
  // An empty name means $DISPLAY.
  explicit X11CaptureSource(std::string displayName = "");
  ~X11CaptureSource() override;
  X11CaptureSource(const X11CaptureSource&) = delete;
  X11CaptureSource& operator=(const X11CaptureSource&) = delete;

  bool displayInfo(DisplayInfo& info) override;
  bool waitForChange(Clock::time_point deadline) override;
  bool grab(CapturedFrame& frame) override;

 private:
  struct Connection;
  bool open();
  std::string displayName_;
  std::unique_ptr<Connection> x_;
};

// RandR's rotation bits (RR_Rotate_0/90/180/270) as quarter turns.
uint8_t rotationFromRandr(unsigned short rotation);

}  // namespace tavrin::mirror
