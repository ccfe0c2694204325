#include "client/session/FrameQueue.h"

namespace tavrin {

void FrameQueue::allocate(uint32_t capacity) {
  std::vector<AvFramePtr> slots;
  slots.reserve(capacity);
  for (uint32_t i = 0; i < capacity; ++i) slots.push_back(makeAvFrame());
  std::lock_guard guard(lock_);
  slots_.swap(slots);
  capacity_ = capacity;
  readIndex_ = 0;
  count_ = 0;
  taken_ = false;
}

void FrameQueue::release() {
  std::vector<AvFramePtr> slots;
  {
    std::lock_guard guard(lock_);
    slots.swap(slots_);
    capacity_ = 0;
    readIndex_ = 0;
    count_ = 0;
    taken_ = false;
  }
  // The records and their references go outside the lock.
}

bool FrameQueue::push(const AVFrame* picture) {
  if (!picture) return false;
  std::lock_guard guard(lock_);
  if (count_ >= capacity_) {
    ++dropped_;
    return false;
  }
  AVFrame* slot = slots_[(readIndex_ + count_) % capacity_].get();
  if (!slot || av_frame_ref(slot, picture) < 0) {
    ++dropped_;
    return false;
  }
  ++count_;
  ++pushed_;
  return true;
}

FrameQueue::Totals FrameQueue::totals() const {
  std::lock_guard guard(lock_);
  return {pushed_, dropped_};
}

const AVFrame* FrameQueue::peekFront() {
  std::lock_guard guard(lock_);
  taken_ = count_ > 0;
  return taken_ ? slots_[readIndex_].get() : nullptr;
}

void FrameQueue::popFront() {
  std::lock_guard guard(lock_);
  if (!taken_ || count_ == 0) return;
  av_frame_unref(slots_[readIndex_].get());
  --count_;
  readIndex_ = (readIndex_ + 1) % capacity_;
  taken_ = false;
}

uint32_t FrameQueue::count() const {
  std::lock_guard guard(lock_);
  return count_;
}

uint32_t FrameQueue::capacity() const {
  std::lock_guard guard(lock_);
  return capacity_;
}

}  // namespace tavrin
