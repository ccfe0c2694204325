#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "phone/mirror/MirrorCodec.h"

namespace tavrin::mirror {

// What the main loop needs besides the encoder: the video connection and
// the rotation check.
class IMirrorLink {
 public:
  // Rotation check before a picture goes out; true when the pipeline was
  // restarted (the buffer in hand belongs to the old encoder).
  virtual bool adjustProjection() = 0;
  // Bytes sent, or a negative value on failure.
  virtual int64_t sendVideo(const uint8_t* data, size_t size) = 0;

 protected:
  ~IMirrorLink() = default;
};

// The encoder output loop: one dequeue per pass with a 250 ms time-out.
// Pictures go out framed (parameter sets first, delimiter trailer after);
// a pass without output re-sends the SPS, which also finds a lost client.
class MirrorLoop {
 public:
  static constexpr int64_t DEQUEUE_TIMEOUT_US = 250000;

  MirrorLoop(IMirrorCodec& codec, IMirrorLink& link, bool delimiter)
      : codec_(codec), link_(link), delimiter_(delimiter) {}

  // Runs until quit or a codec failure; false when the output buffers could
  // not be had at the start.
  bool run();
  // Ends the loop after the current pass.
  void requestQuit() { quit_ = true; }
  bool quitRequested() const { return quit_; }

  const std::vector<uint8_t>& sps() const { return sps_; }
  const std::vector<uint8_t>& pps() const { return pps_; }

 private:
  // False when the loop must end at once.
  bool handlePicture(const OutputBufferInfo& info);
  void handleFormatChange();

  IMirrorCodec& codec_;
  IMirrorLink& link_;
  bool delimiter_;
  bool quit_ = false;
  std::vector<uint8_t> sps_;
  std::vector<uint8_t> pps_;
};

}  // namespace tavrin::mirror
