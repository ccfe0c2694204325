#include "client/session/VideoDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

namespace tavrin {

namespace {
// The size the phone's stream usually has; the decoder replaces it with the
// stream's own once the first picture is decoded.
constexpr int DEFAULT_WIDTH = 720;
constexpr int DEFAULT_HEIGHT = 1280;
}  // namespace

VideoDecoder::VideoDecoder() = default;

VideoDecoder::~VideoDecoder() { close(); }

bool VideoDecoder::open() {
  close();
  av_log_set_level(AV_LOG_QUIET);
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  if (!codec) return false;
  context_ = avcodec_alloc_context3(codec);
  packet_ = av_packet_alloc();
  picture_ = makeAvFrame();
  if (!context_ || !packet_ || !picture_ || avcodec_open2(context_, codec, nullptr) < 0) {
    close();
    return false;
  }
  context_->width = DEFAULT_WIDTH;
  context_->height = DEFAULT_HEIGHT;
  context_->pix_fmt = AV_PIX_FMT_YUV420P;
  return true;
}

void VideoDecoder::close() {
  avcodec_free_context(&context_);
  av_packet_free(&packet_);
  picture_.reset();
}

int VideoDecoder::decode(const AccessUnit& unit, const PictureSink& sink) {
  if (!context_ || !unit.data || unit.size == 0) return AVERROR(EINVAL);
  if (!unit.hasSlice) return 0;
  av_packet_unref(packet_);
  // Not reference-counted: the decoder copies the bytes (with the padding it
  // needs), so the splitter's buffer is free again when this returns.
  packet_->data = const_cast<uint8_t*>(unit.data);
  packet_->size = int(unit.size);
  packet_->flags = unit.keyFrame ? AV_PKT_FLAG_KEY : 0;
  packet_->pts = AV_NOPTS_VALUE;
  packet_->dts = AV_NOPTS_VALUE;
  packet_->stream_index = 0;
  int sent = avcodec_send_packet(context_, packet_);
  packet_->data = nullptr;
  packet_->size = 0;
  int pictures = receive(sink);
  return sent < 0 ? sent : pictures;
}

int VideoDecoder::flush(const PictureSink& sink) {
  if (!context_) return AVERROR(EINVAL);
  int sent = avcodec_send_packet(context_, nullptr);
  int pictures = receive(sink);
  return sent < 0 && sent != AVERROR_EOF ? sent : pictures;
}

int VideoDecoder::receive(const PictureSink& sink) {
  int pictures = 0;
  while (avcodec_receive_frame(context_, picture_.get()) == 0) {
    ++pictures;
    if (sink) sink(picture_.get());
    av_frame_unref(picture_.get());
  }
  return pictures;
}

}  // namespace tavrin
