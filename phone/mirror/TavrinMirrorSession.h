#pragma once

#include <cstdint>
#include <memory>

#include "phone/mirror/CaptureSource.h"
#include "phone/mirror/MirrorEncoder.h"
#include "phone/mirror/MirrorLoop.h"
#include "phone/mirror/SocketServer.h"
#include "phone/mirror/VideoSize.h"
#include "phone/mirror/VirtualDisplay.h"

namespace tavrin::mirror {

inline constexpr int32_t DEFAULT_BIT_RATE = 4500000;

// One viewing session: the pipeline from the display to the video
// connection (virtual display -> encoder -> main loop), restarted whenever
// the display turns.
class TavrinMirrorSession : public IMirrorLink {
 public:
  // Neither is owned; both outlive the session.
  TavrinMirrorSession(CaptureSource& source, ISocketServer& videoServer, bool delimiter);
  ~TavrinMirrorSession();

  // Stores the request and prepares the pipeline. A bit rate of 0 or less
  // means the default.
  bool init(int32_t requestedWidth, int32_t requestedHeight, int32_t bitRate);
  // The main loop; returns when the client is gone or the encoder failed.
  void run();
  // Stops and releases the encoder, destroys the virtual display.
  void release();

  VideoSize videoSize() const { return videoSize_; }
  int32_t bitRate() const { return bitRate_; }

  bool adjustProjection() override;
  int64_t sendVideo(const uint8_t* data, size_t size) override;

 private:
  bool prepare();
  bool prepVideoParam();
  bool prepEncoder(VideoSize size);
  bool prepVirtualDisplay();

  CaptureSource& source_;
  std::unique_ptr<VirtualDisplay> display_;
  MirrorEncoder encoder_;
  ISocketServer& videoServer_;
  int32_t requestedWidth_ = 0;
  int32_t requestedHeight_ = 0;
  int32_t displayWidth_ = 0;
  int32_t displayHeight_ = 0;
  int32_t bitRate_ = DEFAULT_BIT_RATE;
  float frameRate_ = 0;
  uint8_t orientation_ = 0;
  VideoSize videoSize_{};
  MirrorLoop loop_;
};

}  // namespace tavrin::mirror
