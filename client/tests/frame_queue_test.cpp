#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "client/session/FrameQueue.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

using namespace tavrin;
using namespace std::chrono_literals;

namespace {

// A small picture with its own buffers, told apart by pts.
AvFramePtr picture(int64_t id) {
  AvFramePtr frame = makeAvFrame();
  frame->width = 16;
  frame->height = 16;
  frame->format = AV_PIX_FMT_YUV420P;
  EXPECT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
  frame->pts = id;
  return frame;
}

}  // namespace

TEST(FrameQueue, HoldsReferencesOldestFirstAndDropsWhenFull) {
  FrameQueue queue;
  EXPECT_FALSE(queue.push(picture(0).get()));  // no records yet
  queue.allocate();
  ASSERT_EQ(queue.capacity(), 200u);

  std::vector<const uint8_t*> planes;
  for (int i = 0; i < 200; ++i) {
    AvFramePtr p = picture(i);
    planes.push_back(p->data[0]);
    ASSERT_TRUE(queue.push(p.get()));
    // p goes away here: the queue's own reference keeps the buffers.
  }
  EXPECT_FALSE(queue.push(picture(200).get()));
  EXPECT_EQ(queue.count(), 200u);

  // The oldest comes out first, the very buffers that were pushed.
  const AVFrame* front = queue.peekFront();
  ASSERT_NE(front, nullptr);
  EXPECT_EQ(front->pts, 0);
  EXPECT_EQ(front->data[0], planes[0]);
  queue.popFront();
  EXPECT_TRUE(queue.push(picture(201).get()));  // room again, at the ring's start

  for (int64_t expected = 1; expected < 200; ++expected) {
    front = queue.peekFront();
    ASSERT_NE(front, nullptr);
    EXPECT_EQ(front->pts, expected);
    queue.popFront();
  }
  front = queue.peekFront();
  ASSERT_NE(front, nullptr);
  EXPECT_EQ(front->pts, 201);
  queue.popFront();
  EXPECT_EQ(queue.peekFront(), nullptr);
}

TEST(FrameQueue, PopDropsOnlyAPeekedPicture) {
  FrameQueue queue;
  queue.allocate(4);
  queue.push(picture(1).get());
  queue.push(picture(2).get());
  queue.popFront();  // nothing was peeked
  EXPECT_EQ(queue.count(), 2u);
  ASSERT_EQ(queue.peekFront()->pts, 1);
  queue.popFront();
  queue.popFront();  // the second pop has no picture behind it
  EXPECT_EQ(queue.count(), 1u);

  queue.release();
  EXPECT_EQ(queue.peekFront(), nullptr);
  EXPECT_FALSE(queue.push(picture(3).get()));
  EXPECT_EQ(queue.count(), 0u);
}

// The reader thread pushes while the main thread peeks, uses and pops.
TEST(FrameQueue, ReaderAndMainThreadShareItUnderItsLock) {
  FrameQueue queue;
  queue.allocate(8);
  constexpr int64_t TOTAL = 2000;
  std::atomic<bool> done{false};
  std::thread reader([&] {
    auto until = std::chrono::steady_clock::now() + 10s;
    for (int64_t i = 0; i < TOTAL && std::chrono::steady_clock::now() < until;) {
      AvFramePtr p = picture(i);
      p->data[0][0] = uint8_t(i);
      if (queue.push(p.get())) ++i;
      else std::this_thread::yield();
    }
    done = true;
  });
  int64_t next = 0;
  auto until = std::chrono::steady_clock::now() + 10s;
  while (next < TOTAL && std::chrono::steady_clock::now() < until) {
    if (const AVFrame* p = queue.peekFront()) {
      bool inOrder = p->pts == next && p->data[0][0] == uint8_t(next);
      queue.popFront();
      if (!inOrder) {
        ADD_FAILURE() << "picture " << next << " out of order";
        break;
      }
      ++next;
    }
  }
  reader.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(next, TOTAL);
}
