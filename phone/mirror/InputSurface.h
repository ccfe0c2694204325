#pragma once

#include <chrono>

struct AVFrame;

namespace tavrin::mirror {

// Whatever draws into an encoder's input surface (the virtual display).
class IPictureProducer {
 public:
  using Clock = std::chrono::steady_clock;
  // True when a new picture is due before `deadline`.
  virtual bool waitForPicture(Clock::time_point deadline) = 0;
  // Draws the current picture into `frame` (YUV 4:2:0 at the video size).
  virtual bool drawInto(AVFrame* frame) = 0;

 protected:
  ~IPictureProducer() = default;
};

// The encoder's input: one picture buffer at the video size and the
// producer attached to it, if any. Not owned by the producer.
class InputSurface {
 public:
  void attach(IPictureProducer* producer) { producer_ = producer; }
  void detach() { producer_ = nullptr; }
  IPictureProducer* producer() const { return producer_; }

 private:
  IPictureProducer* producer_ = nullptr;
};

}  // namespace tavrin::mirror
