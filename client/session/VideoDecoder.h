#pragma once

#include <functional>
#include <memory>

#include "client/session/AccessUnitSplitter.h"
#include "client/session/AvFrame.h"

struct AVCodecContext;
struct AVPacket;

namespace tavrin {

// FFmpeg's H.264 decoder behind the send/receive calls. Pictures come out
// reference-counted in one reused record; the sink takes its own reference if
// it keeps one, the record is unreferenced right after. FFmpeg's logging is
// switched off, since the client's standard error carries only its own warnings.
class VideoDecoder {
 public:
  using PictureSink = std::function<void(const AVFrame*)>;

  VideoDecoder();
  ~VideoDecoder();
  VideoDecoder(const VideoDecoder&) = delete;
  VideoDecoder& operator=(const VideoDecoder&) = delete;

  // Finds and opens the decoder (no options). False when either fails.
  bool open();
  void close();
  bool isOpen() const { return context_ != nullptr; }

  // Sends one packet, then hands every picture that came out to `sink`.
  // Returns the number of pictures, or a negative FFmpeg error when the
  // decoder refused the packet (callers on the stream ignore it). A packet
  // without a slice is not sent: it has no picture, and FFmpeg would call it
  // invalid data.
  int decode(const AccessUnit& unit, const PictureSink& sink);
  // End of input: hands out the pictures the decoder still holds.
  int flush(const PictureSink& sink);

 private:
  int receive(const PictureSink& sink);

  AVCodecContext* context_ = nullptr;
  AVPacket* packet_ = nullptr;
  AvFramePtr picture_;
};

}  // namespace tavrin
