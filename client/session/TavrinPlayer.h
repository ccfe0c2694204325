#pragma once

#include "common/StartParams.h"

namespace tavrin {

// The session object: owns the window, the video producer and the input
// handlers, and turns the run's outcome into the exit code.
class TavrinPlayer {
 public:
  TavrinPlayer();
  ~TavrinPlayer();
  TavrinPlayer(const TavrinPlayer&) = delete;
  TavrinPlayer& operator=(const TavrinPlayer&) = delete;

  // Validates and stores the parameters.
  bool init(const StartParams& params);
  const StartParams& params() const { return params_; }

 private:
  StartParams params_{};
};

}  // namespace tavrin
