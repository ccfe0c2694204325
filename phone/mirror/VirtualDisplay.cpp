#include "phone/mirror/VirtualDisplay.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <thread>

namespace tavrin::mirror {

VirtualDisplay::VirtualDisplay(std::string name, CaptureSource& source, float refreshRate)
    : name_(std::move(name)), source_(source) {
  if (!(refreshRate >= 1.0f)) refreshRate = 60.0f;
  interval_ = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / refreshRate));
}

VirtualDisplay::~VirtualDisplay() {
  setSurface(nullptr);
  sws_freeContext(scaler_);
}

void VirtualDisplay::setSurface(InputSurface* surface) {
  if (surface_ && surface_->producer() == this) surface_->detach();
  surface_ = surface;
  if (surface_) surface_->attach(this);
}

bool VirtualDisplay::waitForPicture(Clock::time_point deadline) {
  // Keep to the refresh cadence: no picture before the next refresh.
  if (next_ > deadline) {
    std::this_thread::sleep_until(deadline);
    return false;
  }
  std::this_thread::sleep_until(next_);
  return source_.waitForChange(deadline);
}

bool VirtualDisplay::drawInto(AVFrame* frame) {
  Clock::time_point now = Clock::now();
  // On schedule: keep the cadence; after a pause: restart it from now.
  next_ = (now - next_ < interval_) ? next_ + interval_ : now + interval_;

  CapturedFrame captured;
  if (!source_.grab(captured)) return false;
  if (av_frame_make_writable(frame) < 0) return false;

  // Even edges, so the half-size chroma planes line up with luma.
  int x = std::clamp(projection_.x, 0, frame->width) & ~1;
  int y = std::clamp(projection_.y, 0, frame->height) & ~1;
  int w = std::min(int(projection_.contentWidth), frame->width - x) & ~1;
  int h = std::min(int(projection_.contentHeight), frame->height - y) & ~1;
  if (w <= 0 || h <= 0) return true;

  scaler_ = sws_getCachedContext(scaler_, captured.width, captured.height, AVPixelFormat(captured.format),
                                 w, h, AV_PIX_FMT_YUV420P, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
  if (!scaler_) return false;
  uint8_t* dst[4] = {frame->data[0] + size_t(y) * frame->linesize[0] + x,
                     frame->data[1] + size_t(y / 2) * frame->linesize[1] + x / 2,
                     frame->data[2] + size_t(y / 2) * frame->linesize[2] + x / 2, nullptr};
  int dstStride[4] = {frame->linesize[0], frame->linesize[1], frame->linesize[2], 0};
  sws_scale(scaler_, captured.data, captured.linesize, 0, captured.height, dst, dstStride);
  return true;
}

}  // namespace tavrin::mirror
