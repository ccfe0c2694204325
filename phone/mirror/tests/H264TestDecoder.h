#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVCodecParserContext;
struct AVFrame;
struct AVPacket;

namespace tavrin::mirror::test {

// FFmpeg's own H.264 parser and decoder, fed a byte stream in pieces as a
// client would be. Low delay and one thread, so a picture comes out as soon
// as the parser knows it is complete.
class H264TestDecoder {
 public:
  struct Size {
    int width, height;
    bool operator==(const Size&) const = default;
  };

  H264TestDecoder();
  ~H264TestDecoder();
  H264TestDecoder(const H264TestDecoder&) = delete;
  H264TestDecoder& operator=(const H264TestDecoder&) = delete;

  bool ok() const { return context_ && parser_; }
  void feed(const uint8_t* data, size_t size);
  void feed(const std::vector<uint8_t>& bytes) { feed(bytes.data(), bytes.size()); }

  // Every picture's size, in decoding order.
  const std::vector<Size>& sizes() const { return sizes_; }
  // The luma plane of the last picture.
  const std::vector<uint8_t>& lastLuma() const { return lastLuma_; }
  int lastStride() const { return lastStride_; }
  uint8_t lumaAt(int x, int y) const { return lastLuma_[size_t(y) * size_t(lastStride_) + size_t(x)]; }

 private:
  void decode(const uint8_t* data, int size);

  AVCodecContext* context_ = nullptr;
  AVCodecParserContext* parser_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  std::vector<Size> sizes_;
  std::vector<uint8_t> lastLuma_;
  int lastStride_ = 0;
};

// NAL unit types of an Annex B stream, in order.
std::vector<int> nalTypes(const std::vector<uint8_t>& stream);

// What is wrong with a stream as the capture server should frame it: every
// start code 4 bytes, every picture's first slice right after an SPS and a
// PPS (an SEI may sit between), and, with `delimiter`, every picture
// followed by the delimiter trailer. Empty when all holds.
std::string framingProblems(const std::vector<uint8_t>& stream, bool delimiter);

}  // namespace tavrin::mirror::test
