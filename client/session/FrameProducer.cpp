#include "client/session/FrameProducer.h"

#include "client/session/UserEvents.h"
#include "common/Singleton.h"

namespace tavrin {

namespace {
// Less than a start code and a header byte is not worth waking up for.
constexpr uint32_t MIN_READ = 4;
}  // namespace

FrameProducer::FrameProducer() = default;

FrameProducer::~FrameProducer() { stop(); }

bool FrameProducer::prepare() {
  if (!decoder_.open()) return false;
  queue_ = &Singleton<FrameQueue>::instance();
  queue_->allocate(FrameQueue::FRAME_QUEUE_CAPACITY);
  return true;
}

bool FrameProducer::start(const char* host, int port) {
  if (!prepare()) return false;
  client_.setCallback(this);
  if (!client_.start(port, host)) return false;
  client_.setReadLowWater(int(MIN_READ));
  return true;
}

void FrameProducer::stop() {
  client_.stop();
  decoder_.close();
  if (queue_) {
    queue_->release();
    queue_ = nullptr;
  }
}

void FrameProducer::onDataReady() {
  if (client_.bytesAvailable() < MIN_READ) return;
  if (!client_.readAvailable(readBuffer_)) return;
  feed(readBuffer_.data(), readBuffer_.size());
}

void FrameProducer::feed(const uint8_t* data, size_t size) {
  splitter_.append(data, size);
  AccessUnit unit;
  while (splitter_.nextAccessUnit(unit)) {
    // A packet the decoder refuses only loses its picture.
    decoder_.decode(unit, [this](const AVFrame* picture) {
      if (queue_) queue_->push(picture);
    });
  }
}

void FrameProducer::onDisconnected(int reason) { pushUserEvent(EVT_STREAM_CLOSED, reason, 0); }

}  // namespace tavrin
