#include "phone/mirror/tests/H264TestDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

#include <cstring>

#include "phone/mirror/StreamFraming.h"

namespace tavrin::mirror::test {

H264TestDecoder::H264TestDecoder() {
  av_log_set_level(AV_LOG_QUIET);
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  if (!codec) return;
  context_ = avcodec_alloc_context3(codec);
  context_->thread_count = 1;
  context_->flags |= AV_CODEC_FLAG_LOW_DELAY;
  if (avcodec_open2(context_, codec, nullptr) < 0) {
    avcodec_free_context(&context_);
    return;
  }
  parser_ = av_parser_init(AV_CODEC_ID_H264);
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
}

H264TestDecoder::~H264TestDecoder() {
  if (parser_) av_parser_close(parser_);
  avcodec_free_context(&context_);
  av_frame_free(&frame_);
  av_packet_free(&packet_);
}

void H264TestDecoder::feed(const uint8_t* data, size_t size) {
  while (size > 0) {
    uint8_t* out = nullptr;
    int outSize = 0;
    int used = av_parser_parse2(parser_, context_, &out, &outSize, data, int(size), AV_NOPTS_VALUE,
                                AV_NOPTS_VALUE, 0);
    if (used < 0) return;
    data += used;
    size -= size_t(used);
    if (outSize > 0) decode(out, outSize);
  }
}

void H264TestDecoder::decode(const uint8_t* data, int size) {
  packet_->data = const_cast<uint8_t*>(data);
  packet_->size = size;
  if (avcodec_send_packet(context_, packet_) < 0) return;
  while (avcodec_receive_frame(context_, frame_) == 0) {
    sizes_.push_back({frame_->width, frame_->height});
    lastStride_ = frame_->linesize[0];
    lastLuma_.assign(frame_->data[0], frame_->data[0] + size_t(frame_->linesize[0]) * size_t(frame_->height));
    av_frame_unref(frame_);
  }
}

std::vector<int> nalTypes(const std::vector<uint8_t>& stream) {
  std::vector<int> types;
  for (const auto& unit : splitAnnexB(stream.data(), stream.size()))
    types.push_back(unit.payload < unit.end ? stream[unit.payload] & 0x1F : -1);
  return types;
}

std::string framingProblems(const std::vector<uint8_t>& stream, bool delimiter) {
  const uint8_t* s = stream.data();
  for (size_t i = 0; i + 2 < stream.size(); ++i)
    if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1 && (i == 0 || s[i - 1] != 0))
      return "3-byte start code at " + std::to_string(i);

  auto units = splitAnnexB(s, stream.size());
  auto type = [&](size_t k) { return s[units[k].payload] & 0x1F; };
  auto isSlice = [&](size_t k) { return type(k) == 1 || type(k) == 5; };
  for (size_t k = 0; k < units.size(); ++k) {
    if (!isSlice(k)) continue;
    bool firstSlice = units[k].payload + 1 < units[k].end && (s[units[k].payload + 1] & 0x80);
    if (firstSlice) {
      size_t j = k;
      while (j > 0 && type(j - 1) == 6) --j;  // libx264's SEI in front of the first picture
      if (j < 2 || type(j - 1) != 8 || type(j - 2) != 7)
        return "picture at " + std::to_string(units[k].start) + " without SPS and PPS in front";
    }
    bool lastSlice = k + 1 == units.size() || !isSlice(k + 1) ||
                     (units[k + 1].payload + 1 < units[k + 1].end && (s[units[k + 1].payload + 1] & 0x80));
    if (delimiter && lastSlice && k + 1 < units.size()) {
      const auto& next = units[k + 1];
      bool trailer = type(k + 1) == 9 && next.end - next.start == 6 && next.end + 3 <= stream.size() &&
                     std::memcmp(s + next.start, ACCESS_UNIT_DELIMITER_TRAILER, 9) == 0;
      if (!trailer) return "picture ending at " + std::to_string(units[k].end) + " without the delimiter trailer";
    }
    if (!delimiter && k + 1 < units.size() && type(k + 1) == 9) return "delimiter though switched off";
  }
  return {};
}

}  // namespace tavrin::mirror::test
