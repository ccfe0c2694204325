#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "client/session/AvFrame.h"

namespace tavrin {

// The decoded pictures waiting for display: a ring of FRAME_QUEUE_CAPACITY
// slots, each holding its own reference to a picture the decoder made (no
// copy of picture data). The video reader thread pushes, the main thread
// peeks and pops; every operation takes the queue's lock.
//
// Use it as Singleton<FrameQueue>::instance(). The producer allocates the slots
// when it starts and releases them when it stops; until then peekFront finds
// nothing and push drops.
//
// Main thread, once per rendered frame:
//   if (const AVFrame* picture = queue.peekFront()) {
//     ... upload picture->data[0..2], picture->linesize[0..2],
//         picture->width x picture->height ...
//     queue.popFront();
//   }
class FrameQueue {
 public:
  static constexpr uint32_t FRAME_QUEUE_CAPACITY = 200;

  FrameQueue() = default;
  FrameQueue(const FrameQueue&) = delete;
  FrameQueue& operator=(const FrameQueue&) = delete;

  // Empty picture records for `capacity` pictures (drops any held ones).
  void allocate(uint32_t capacity = FRAME_QUEUE_CAPACITY);
  // Drops every picture and frees the records.
  void release();

  // Reader thread: keeps a new reference to `picture` at the back. False
  // (picture dropped) when the queue is full or not allocated.
  bool push(const AVFrame* picture);

  // Main thread: the oldest picture, or null when there is none. It stays
  // valid, in its slot, until popFront; only the main thread pops or releases.
  const AVFrame* peekFront();
  // Drops the picture the last peekFront handed out; nothing when it found none.
  void popFront();

  uint32_t count() const;
  uint32_t capacity() const;

  // Pictures queued and dropped (full queue) since the process began.
  struct Totals {
    uint64_t pushed;
    uint64_t dropped;
  };
  Totals totals() const;

 private:
  mutable std::mutex lock_;
  std::vector<AvFramePtr> slots_;  // guarded by lock_
  bool taken_ = false;             // guarded by lock_
  uint32_t readIndex_ = 0;         // guarded by lock_
  uint32_t count_ = 0;             // guarded by lock_
  uint32_t capacity_ = 0;          // guarded by lock_
  uint64_t pushed_ = 0;            // guarded by lock_
  uint64_t dropped_ = 0;           // guarded by lock_
};

}  // namespace tavrin
