#pragma once

#include <atomic>
#include <memory>

#include "client/session/FrameProducer.h"
#include "client/session/IListenerCallback.h"
#include "client/session/SDLWindow.h"
#include "common/StartParams.h"

namespace tavrin {

// The session object: owns the window, the video producer and the input
// handlers, and turns the run's outcome into the exit code.
class TavrinPlayer : public IListenerCallback {
 public:
  TavrinPlayer();
  ~TavrinPlayer() override;
  TavrinPlayer(const TavrinPlayer&) = delete;
  TavrinPlayer& operator=(const TavrinPlayer&) = delete;

  // Validates and stores the parameters, creates the window.
  bool init(const StartParams& params);
  // Video stream, event channel, phone controller.
  bool connectPhone();
  // Renderer and layers, window size, initial rotation.
  bool createView();
  // Runs the main loop until the window is closed; true when the session
  // counts as good (the video never ended).
  bool run();
  void shutdown();

  // Event channel (reader thread): a rotation message becomes EVT_ROTATION.
  void onMessage(int32_t type) override;

  const StartParams& params() const { return params_; }
  SDLWindow* window() const { return window_.get(); }

 private:
  StartParams params_{};
  std::unique_ptr<SDLWindow> window_;
  // Read by the event channel's thread, which outlives the window.
  std::atomic<bool> windowAlive_{false};
  FrameProducer producer_;
};

}  // namespace tavrin
