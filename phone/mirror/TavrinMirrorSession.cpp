#include "phone/mirror/TavrinMirrorSession.h"

#include "common/Singleton.h"
#include "phone/mirror/EventSender.h"
#include "phone/mirror/MirrorLog.h"
#include "phone/mirror/Projection.h"

namespace tavrin::mirror {

TavrinMirrorSession::TavrinMirrorSession(CaptureSource& source, ISocketServer& videoServer, bool delimiter)
    : source_(source), videoServer_(videoServer), loop_(encoder_, *this, delimiter) {}

TavrinMirrorSession::~TavrinMirrorSession() { release(); }

bool TavrinMirrorSession::init(int32_t requestedWidth, int32_t requestedHeight, int32_t bitRate) {
  requestedWidth_ = requestedWidth;
  requestedHeight_ = requestedHeight;
  // A negative rate (what a launcher without configuration sends) would
  // make every encoder refuse; it means "not given" like 0.
  bitRate_ = bitRate > 0 ? bitRate : DEFAULT_BIT_RATE;
  return prepare();
}

bool TavrinMirrorSession::prepVideoParam() {
  DisplayInfo info;
  if (!source_.displayInfo(info)) {
    MIRROR_LOG("getBuiltInDisplay failed.");
    MIRROR_LOG("prepVideoParam failed.");
    return false;
  }
  displayWidth_ = info.width;
  displayHeight_ = info.height;
  frameRate_ = info.refreshRate;
  orientation_ = info.rotation;
  MIRROR_LOG("Main display is %dx%d @%.2ffps (orientation=%u)", displayWidth_, displayHeight_,
             double(frameRate_), unsigned(orientation_));
  return true;
}

bool TavrinMirrorSession::prepEncoder(VideoSize size) {
  MIRROR_LOG("creating encoder...");
  if (!encoder_.create()) {
    MIRROR_LOG("create codec failed.");
    return false;
  }
  EncoderFormat format = encoderFormat(size.width, size.height, bitRate_, frameRate_);
  MIRROR_LOG("configure codec: %dx%d bitRate:%d", format.width, format.height, format.bitRate);
  if (!encoder_.configure(format)) {
    MIRROR_LOG("configure codec failed.");
    encoder_.release();
    return false;
  }
  if (!encoder_.createInputSurface()) {
    MIRROR_LOG("createInputSurface failed.");
    encoder_.release();
    return false;
  }
  if (!encoder_.start()) {
    MIRROR_LOG("start codec failed.");
    encoder_.release();
    return false;
  }
  videoSize_ = size;
  return true;
}

bool TavrinMirrorSession::prepVirtualDisplay() {
  MIRROR_LOG("VirtualDisplay: %dx%d", videoSize_.width, videoSize_.height);
  display_ = std::make_unique<VirtualDisplay>("TavrinMirror", source_, frameRate_);
  Projection p = computeProjection(uint32_t(displayWidth_), uint32_t(displayHeight_), orientation_,
                                   videoSize_.width, videoSize_.height);
  if (p.widthClamped) MIRROR_LOG("Width %u too large for Rect class, clamping", p.displayWidth);
  if (p.heightClamped) MIRROR_LOG("Height %u too large for Rect class, clamping", p.displayHeight);
  MIRROR_LOG("Content area is %ux%u at offset x=%d y=%d", p.contentWidth, p.contentHeight, p.x, p.y);
  display_->setProjection(p);
  display_->setSurface(encoder_.inputSurface());
  return true;
}

bool TavrinMirrorSession::prepare() {
  if (!prepVideoParam()) return false;
  VideoSize size = chooseVideoSize(requestedWidth_, requestedHeight_, displayWidth_, displayHeight_,
                                   orientation_);
  if (!prepEncoder(size)) {
    MIRROR_LOG("prepEncoder failed, retry.");
    std::optional<VideoSize> retry = retryVideoSize(size);
    if (!retry) {
      MIRROR_LOG("retry prepEncoder failed. give up...");
      return false;
    }
    MIRROR_LOG("WARNING: failed at %dx%d, retrying at %dx%d", size.width, size.height, retry->width,
               retry->height);
    if (!prepEncoder(*retry)) {
      MIRROR_LOG("retry prepEncoder failed. give up...");
      return false;
    }
  }
  if (!prepVirtualDisplay()) {
    MIRROR_LOG("prepVirtualDisplay failed.");
    return false;
  }
  return true;
}

void TavrinMirrorSession::release() {
  encoder_.stop();
  encoder_.release();
  display_.reset();
}

void TavrinMirrorSession::run() { loop_.run(); }

bool TavrinMirrorSession::adjustProjection() {
  DisplayInfo info;
  if (!source_.displayInfo(info)) {
    MIRROR_LOG("adjustProjection->getDisplayInfo failed.");
    return false;
  }
  if (info.rotation == orientation_) return false;
  orientation_ = info.rotation;
  MIRROR_LOG("display rorate:%d", int(orientation_));
  Singleton<EventSender>::instance().sendRotation(orientation_);
  release();
  if (!prepare()) MIRROR_LOG("restart internalInit failed.");
  else if (!encoder_.getOutputBuffers()) MIRROR_LOG("adjustProjection getOutputBuffers failed.");
  return true;
}

int64_t TavrinMirrorSession::sendVideo(const uint8_t* data, size_t size) {
  return videoServer_.send(data, size);
}

}  // namespace tavrin::mirror
