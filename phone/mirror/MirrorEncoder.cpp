#include "phone/mirror/MirrorEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/dict.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>

#include "phone/mirror/MirrorLog.h"
#include "phone/mirror/StreamFraming.h"

namespace tavrin::mirror {

namespace {

using Clock = std::chrono::steady_clock;

int64_t nowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

// libavcodec's complaints go where every other line of this program goes.
void forwardAvLog(void* avcl, int level, const char* format, va_list args) {
  if (level > AV_LOG_ERROR) return;
  char line[512];
  int printPrefix = 1;
  av_log_format_line(avcl, level, format, args, line, sizeof line, &printPrefix);
  size_t n = std::strlen(line);
  while (n && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
  if (n) MIRROR_LOG("%s", line);
}

void routeAvLog() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_callback(forwardAvLog); });
}

}  // namespace

EncoderFormat encoderFormat(int32_t width, int32_t height, int32_t bitRate, float frameRate) {
  EncoderFormat f;
  f.width = width;
  f.height = height;
  f.bitRate = bitRate;
  f.frameRate = frameRate;
  f.intraRefreshCirMbs = ((width + 15) / 16 * (height + 15) / 16) / 10;
  return f;
}

MirrorEncoder::~MirrorEncoder() { release(); }

bool MirrorEncoder::create() {
  release();
  routeAvLog();
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (!codec) return false;
  context_ = avcodec_alloc_context3(codec);
  packet_ = av_packet_alloc();
  return context_ && packet_;
}

bool MirrorEncoder::configure(const EncoderFormat& format) {
  if (!context_ || configured_) return false;
  float rate = format.frameRate >= 1.0f ? format.frameRate : 60.0f;
  context_->width = format.width;
  context_->height = format.height;
  context_->pix_fmt = AV_PIX_FMT_YUV420P;
  context_->bit_rate = format.bitRate;
  context_->framerate = av_d2q(rate, 1000);
  // Pictures come when the display changes, so time stamps are real time.
  context_->time_base = AVRational{1, 1000000};
  context_->gop_size = std::max(1, int(std::lround(rate * float(format.iFrameInterval))));
  context_->max_b_frames = 0;
  context_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  keyIntervalUs_ = int64_t(format.iFrameInterval) * 1000000;

  AVDictionary* options = nullptr;
  av_dict_set(&options, "preset", "ultrafast", 0);
  av_dict_set(&options, "tune", "zerolatency", 0);
  av_dict_set(&options, "forced-idr", "1", 0);
  int err = avcodec_open2(context_, context_->codec, &options);
  av_dict_free(&options);
  if (err < 0) return false;
  if (!context_->extradata || context_->extradata_size <= 0) return false;
  configured_ = true;
  return true;
}

InputSurface* MirrorEncoder::createInputSurface() {
  if (!configured_) return nullptr;
  frame_ = av_frame_alloc();
  if (!frame_) return nullptr;
  frame_->format = AV_PIX_FMT_YUV420P;
  frame_->width = context_->width;
  frame_->height = context_->height;
  if (av_frame_get_buffer(frame_, 0) < 0) return nullptr;
  // Black: what the letterbox borders show.
  ptrdiff_t linesizes[4] = {frame_->linesize[0], frame_->linesize[1], frame_->linesize[2], 0};
  av_image_fill_black(frame_->data, linesizes, AV_PIX_FMT_YUV420P, AVCOL_RANGE_MPEG, frame_->width,
                      frame_->height);
  surfaceCreated_ = true;
  return &surface_;
}

bool MirrorEncoder::start() {
  if (!configured_ || !surfaceCreated_) return false;
  started_ = true;
  formatPending_ = true;  // the first thing a client of the codec learns
  bufferHeld_ = false;
  startUs_ = nowUs();
  lastPts_ = -1;
  lastKeyUs_ = -1;
  return true;
}

void MirrorEncoder::stop() {
  started_ = false;
  bufferHeld_ = false;
}

void MirrorEncoder::release() {
  stop();
  surface_.detach();
  avcodec_free_context(&context_);
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  configured_ = false;
  surfaceCreated_ = false;
  formatPending_ = false;
}

bool MirrorEncoder::getOutputBuffers() { return started_; }

const uint8_t* MirrorEncoder::outputBuffer(size_t index) {
  return index == 0 ? buffer_.data() : nullptr;
}

int32_t MirrorEncoder::releaseOutputBuffer(size_t index) {
  if (!started_ || index != 0 || !bufferHeld_) return CODEC_INVALID_OPERATION;
  bufferHeld_ = false;
  return CODEC_OK;
}

bool MirrorEncoder::getOutputFormat(OutputFormat& format) {
  if (!configured_) return false;
  ParameterSets sets = parameterSetsFromExtradata(context_->extradata, size_t(context_->extradata_size));
  format.csd0 = std::move(sets.sps);
  format.csd1 = std::move(sets.pps);
  return true;
}

int32_t MirrorEncoder::encodeOne(OutputBufferInfo& info, bool& produced) {
  produced = false;
  IPictureProducer* producer = surface_.producer();
  if (!producer->drawInto(frame_)) return CODEC_OK;  // nothing drawn this time

  int64_t elapsed = nowUs() - startUs_;
  frame_->pts = std::max(elapsed, lastPts_ + 1);
  lastPts_ = frame_->pts;
  // One key frame a second in real time, even when pictures are rare.
  bool key = lastKeyUs_ < 0 || frame_->pts - lastKeyUs_ >= keyIntervalUs_;
  frame_->pict_type = key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
  if (avcodec_send_frame(context_, frame_) < 0) return CODEC_INVALID_OPERATION;
  int err = avcodec_receive_packet(context_, packet_);
  if (err == AVERROR(EAGAIN)) return CODEC_OK;
  if (err < 0) return CODEC_INVALID_OPERATION;
  buffer_.assign(packet_->data, packet_->data + packet_->size);
  info.index = 0;
  info.offset = 0;
  info.size = buffer_.size();
  info.presentationTimeUs = packet_->pts;
  info.flags = (packet_->flags & AV_PKT_FLAG_KEY) ? uint32_t(BUFFER_FLAG_SYNCFRAME) : 0u;
  if (info.flags & BUFFER_FLAG_SYNCFRAME) lastKeyUs_ = packet_->pts;
  av_packet_unref(packet_);
  bufferHeld_ = true;
  produced = true;
  return CODEC_OK;
}

int32_t MirrorEncoder::dequeueOutputBuffer(OutputBufferInfo& info, int64_t timeoutUs) {
  if (!started_) return CODEC_INVALID_OPERATION;
  if (formatPending_) {
    formatPending_ = false;
    return CODEC_INFO_FORMAT_CHANGED;
  }
  Clock::time_point deadline = Clock::now() + std::chrono::microseconds(timeoutUs);
  // One output buffer: it must come back before the next picture.
  if (bufferHeld_) return CODEC_INVALID_OPERATION;
  for (;;) {
    IPictureProducer* producer = surface_.producer();
    if (!producer) {
      std::this_thread::sleep_until(deadline);
      return CODEC_TRY_AGAIN_LATER;
    }
    if (!producer->waitForPicture(deadline)) return CODEC_TRY_AGAIN_LATER;
    bool produced;
    int32_t err = encodeOne(info, produced);
    if (err != CODEC_OK || produced) return err;
    if (Clock::now() >= deadline) return CODEC_TRY_AGAIN_LATER;
  }
}

}  // namespace tavrin::mirror
