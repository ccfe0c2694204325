#include <gtest/gtest.h>
#include <SDL.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "client/session/FrameProducer.h"
#include "client/session/UserEvents.h"
#include "client/tests/TestStreams.h"
#include "common/Singleton.h"
#include "tests/support/TestNet.h"

using namespace tavrin;
using namespace tavrin::test;
using namespace std::chrono_literals;

namespace {

// SDL's event queue without any window.
class SdlEvents {
 public:
  SdlEvents() { ok_ = SDL_Init(SDL_INIT_EVENTS) == 0; }
  ~SdlEvents() { SDL_Quit(); }
  bool ok() const { return ok_; }
  // The EVT_STREAM_CLOSED events queued so far, taken off the queue.
  std::vector<SDL_Event> takeStreamClosed() {
    std::vector<SDL_Event> found;
    SDL_Event e;
    while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_USEREVENT, SDL_USEREVENT) == 1)
      if (e.user.code == EVT_STREAM_CLOSED) found.push_back(e);
    return found;
  }

 private:
  bool ok_ = false;
};

}  // namespace

// A server sends a whole stream in uneven pieces and closes: every picture
// lands in the queue at the stream's size, and one EVT_STREAM_CLOSED (1) comes.
TEST(FrameProducer, DecodesALoopbackStreamIntoTheQueue) {
  const TestStream& stream = testStream("baseline");
  ASSERT_GT(stream.frames, 0);
  ASSERT_LE(stream.frames, int(FrameQueue::FRAME_QUEUE_CAPACITY));
  SdlEvents sdl;
  ASSERT_TRUE(sdl.ok()) << SDL_GetError();
  Listener listener;
  ASSERT_TRUE(listener.ok());

  FrameProducer producer;
  ASSERT_TRUE(producer.start("127.0.0.1", listener.port()));
  int peer = listener.accept(5s);
  ASSERT_GE(peer, 0);
  for (size_t at = 0, step = 1; at < stream.bytes.size(); at += step, step = step * 3 % 9000 + 1) {
    ASSERT_TRUE(sendAll(peer, stream.bytes.data() + at, std::min(step, stream.bytes.size() - at)));
  }
  ::close(peer);

  std::vector<SDL_Event> closed;
  for (auto until = std::chrono::steady_clock::now() + 10s;
       closed.empty() && std::chrono::steady_clock::now() < until;
       std::this_thread::sleep_for(10ms))
    closed = sdl.takeStreamClosed();
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(reinterpret_cast<intptr_t>(closed[0].user.data1), 1);
  EXPECT_EQ(reinterpret_cast<intptr_t>(closed[0].user.data2), 0);

  FrameQueue& queue = Singleton<FrameQueue>::instance();
  EXPECT_EQ(queue.count(), uint32_t(stream.frames));
  int pictures = 0;
  while (const AVFrame* p = queue.peekFront()) {
    EXPECT_EQ(p->width, stream.width);
    EXPECT_EQ(p->height, stream.height);
    queue.popFront();
    ++pictures;
  }
  EXPECT_EQ(pictures, stream.frames);

  std::this_thread::sleep_for(200ms);
  EXPECT_TRUE(sdl.takeStreamClosed().empty());
  producer.stop();
  EXPECT_EQ(queue.capacity(), 0u);
}

TEST(FrameProducer, StartFailsWithoutAServer) {
  FrameProducer producer;
  EXPECT_FALSE(producer.start("127.0.0.1", freePort()));
}
