#include "client/session/FramePacer.h"

namespace tavrin {

FramePacer::FramePacer(int refreshHz)
    : interval_(std::chrono::duration_cast<Clock::duration>(std::chrono::microseconds(1000000 / (refreshHz > 0 ? refreshHz : 60)))) {}

FramePacer::Clock::duration FramePacer::waitAfterFrame(Clock::time_point frameStart, Clock::time_point presentStart,
                                                       Clock::time_point presentEnd) const {
  // A present that took a quarter of a frame or more was waiting for the display.
  if (presentEnd - presentStart >= interval_ / 4) return Clock::duration::zero();
  auto used = presentEnd - frameStart;
  return used < interval_ ? interval_ - used : Clock::duration::zero();
}

}  // namespace tavrin
