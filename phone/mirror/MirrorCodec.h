#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrin::mirror {

// Results of dequeueOutputBuffer, with the media codec's values.
enum : int32_t {
  CODEC_OK = 0,
  CODEC_TRY_AGAIN_LATER = -11,
  CODEC_INVALID_OPERATION = -38,
  CODEC_INFO_FORMAT_CHANGED = -1012,
  CODEC_INFO_OUTPUT_BUFFERS_CHANGED = -1014,
};

enum : uint32_t {
  BUFFER_FLAG_SYNCFRAME = 1,
  BUFFER_FLAG_CODECCONFIG = 2,
  BUFFER_FLAG_EOS = 4,
};

struct OutputBufferInfo {
  size_t index = 0;
  size_t offset = 0;
  size_t size = 0;
  int64_t presentationTimeUs = 0;
  uint32_t flags = 0;
};

// The output format's parameter sets ("csd-0", "csd-1"); empty when absent.
struct OutputFormat {
  std::vector<uint8_t> csd0;
  std::vector<uint8_t> csd1;
};

// The output side of an encoder, shaped like the phone's media codec so the
// main loop reads as it does there.
class IMirrorCodec {
 public:
  // Refreshes the list of output buffers; false when the codec is not running.
  virtual bool getOutputBuffers() = 0;
  virtual int32_t dequeueOutputBuffer(OutputBufferInfo& info, int64_t timeoutUs) = 0;
  // Start of the buffer's memory (info.offset is added by the caller).
  virtual const uint8_t* outputBuffer(size_t index) = 0;
  virtual int32_t releaseOutputBuffer(size_t index) = 0;
  virtual bool getOutputFormat(OutputFormat& format) = 0;

 protected:
  ~IMirrorCodec() = default;
};

}  // namespace tavrin::mirror
