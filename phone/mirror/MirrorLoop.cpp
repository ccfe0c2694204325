#include "phone/mirror/MirrorLoop.h"

#include "phone/mirror/MirrorLog.h"
#include "phone/mirror/StreamFraming.h"

namespace tavrin::mirror {

bool MirrorLoop::run() {
  MIRROR_LOG("Enter main loop.");
  if (!codec_.getOutputBuffers()) {
    MIRROR_LOG("Unable to get output buffers.");
    return false;
  }
  quit_ = false;
  while (!quit_) {
    OutputBufferInfo info;
    int32_t err = codec_.dequeueOutputBuffer(info, DEQUEUE_TIMEOUT_US);
    bool goOn = true;
    switch (err) {
      case CODEC_OK:
        if (info.flags & BUFFER_FLAG_CODECCONFIG) {
          // Parameter sets come from the output format instead.
          MIRROR_LOG("Got codec config buffer (%u bytes); ignoring", unsigned(info.size));
          codec_.releaseOutputBuffer(info.index);
        } else if (info.size == 0) {
          codec_.releaseOutputBuffer(info.index);
        } else {
          goOn = handlePicture(info);
        }
        break;
      case CODEC_TRY_AGAIN_LATER: {
        // Nothing new on the display: the repeated SPS keeps the connection
        // tested, so a vanished client ends the run within 250 ms.
        int64_t ret = link_.sendVideo(sps_.data(), sps_.size());
        if (ret < 0) {
          MIRROR_LOG("socket write error, maybe disconnected. ret:%d", int(ret));
          quit_ = true;
        }
        break;
      }
      case CODEC_INFO_FORMAT_CHANGED:
        MIRROR_LOG("Encoder format changed");
        handleFormatChange();
        break;
      case CODEC_INFO_OUTPUT_BUFFERS_CHANGED:
        MIRROR_LOG("Encoder buffers changed");
        if (!codec_.getOutputBuffers()) MIRROR_LOG("Unable to get new output buffers (err=%d)", err);
        break;
      case CODEC_INVALID_OPERATION:
        MIRROR_LOG("Request for encoder buffer failed");
        goOn = false;
        break;
      default:
        MIRROR_LOG("Got weird result %d from dequeueOutputBuffer", err);
        goOn = false;
        break;
    }
    if (!goOn) break;
  }
  MIRROR_LOG("Quit main loop.");
  return true;
}

bool MirrorLoop::handlePicture(const OutputBufferInfo& info) {
  if (link_.adjustProjection()) {
    MIRROR_LOG("projection adjusted, break");
    return true;
  }
  const uint8_t* data = codec_.outputBuffer(info.index) + info.offset;
  if (info.flags & BUFFER_FLAG_SYNCFRAME) MIRROR_LOG("This is a syncframe: %d bytes", int(info.size));
  // Every picture carries the current parameter sets, so the client can
  // decode from any picture on.
  std::vector<uint8_t> wire = framePicture(sps_, pps_, data, info.size, delimiter_);
  if (link_.sendVideo(wire.data(), wire.size()) < 0) quit_ = true;
  int32_t err = codec_.releaseOutputBuffer(info.index);
  if (err != CODEC_OK) {
    MIRROR_LOG("Unable to release output buffer (err=%d)", err);
    return false;
  }
  if (info.flags & BUFFER_FLAG_EOS) MIRROR_LOG("Received end-of-stream");
  return true;
}

void MirrorLoop::handleFormatChange() {
  OutputFormat format;
  codec_.getOutputFormat(format);
  bool complete = true;
  if (format.csd0.empty()) {
    MIRROR_LOG("Can not find sps buffer");
    complete = false;
  } else {
    sps_ = std::move(format.csd0);
  }
  if (format.csd1.empty()) {
    MIRROR_LOG("Can not find pps buffer");
    complete = false;
  } else {
    pps_ = std::move(format.csd1);
  }
  if (complete) MIRROR_LOG("Got sps and pps.");
}

}  // namespace tavrin::mirror
