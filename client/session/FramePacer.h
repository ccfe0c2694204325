#pragma once

#include <chrono>

namespace tavrin {

// Keeps the main loop from spinning when presenting does not wait for the
// display refresh. When a present waited (vsync works), it adds nothing.
class FramePacer {
 public:
  using Clock = std::chrono::steady_clock;

  // refreshHz 0 (unknown) counts as 60.
  explicit FramePacer(int refreshHz);

  // How long to sleep after a frame that began at frameStart and whose
  // present ran from presentStart to presentEnd.
  Clock::duration waitAfterFrame(Clock::time_point frameStart, Clock::time_point presentStart,
                                 Clock::time_point presentEnd) const;
  Clock::duration interval() const { return interval_; }

 private:
  Clock::duration interval_;
};

}  // namespace tavrin
