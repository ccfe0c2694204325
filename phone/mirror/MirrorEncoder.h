#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "phone/mirror/InputSurface.h"
#include "phone/mirror/MirrorCodec.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace tavrin::mirror {

// The media format an encoder is configured with.
struct EncoderFormat {
  int32_t width = 0;
  int32_t height = 0;
  std::string mime = "video/avc";
  int32_t bitRate = 0;
  float frameRate = 0;
  int32_t iFrameInterval = 1;  // seconds
  int32_t intraRefreshMode = 0;
  int32_t intraRefreshCirMbs = 0;  // a tenth of the macroblocks per picture
};
EncoderFormat encoderFormat(int32_t width, int32_t height, int32_t bitRate, float frameRate);

// libx264 through libavcodec in the role of the phone's hardware encoder:
// tuned for latency (ultrafast, zerolatency, no B-frames), one key frame a
// second, parameter sets out of band (the global header stands for
// "csd-0"/"csd-1"). Pictures come from whatever is attached to its input
// surface; dequeueOutputBuffer draws, encodes and hands out one picture.
class MirrorEncoder : public IMirrorCodec {
 public:
  MirrorEncoder() = default;
  ~MirrorEncoder();
  MirrorEncoder(const MirrorEncoder&) = delete;
  MirrorEncoder& operator=(const MirrorEncoder&) = delete;

  bool create();
  bool configure(const EncoderFormat& format);
  InputSurface* createInputSurface();
  InputSurface* inputSurface() { return surfaceCreated_ ? &surface_ : nullptr; }
  bool start();
  void stop();
  void release();
  bool started() const { return started_; }

  bool getOutputBuffers() override;
  int32_t dequeueOutputBuffer(OutputBufferInfo& info, int64_t timeoutUs) override;
  const uint8_t* outputBuffer(size_t index) override;
  int32_t releaseOutputBuffer(size_t index) override;
  bool getOutputFormat(OutputFormat& format) override;

 private:
  int32_t encodeOne(OutputBufferInfo& info, bool& produced);

  AVCodecContext* context_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  InputSurface surface_;
  bool surfaceCreated_ = false;
  bool configured_ = false;
  bool started_ = false;
  bool formatPending_ = false;
  bool bufferHeld_ = false;
  std::vector<uint8_t> buffer_;
  int64_t startUs_ = 0;
  int64_t lastPts_ = -1;
  int64_t lastKeyUs_ = -1;
  int64_t keyIntervalUs_ = 1000000;
};

}  // namespace tavrin::mirror
