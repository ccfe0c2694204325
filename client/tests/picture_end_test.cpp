#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "client/session/FrameProducer.h"
#include "client/tests/TestStreams.h"
#include "common/Singleton.h"
#include "tests/support/TestNet.h"

using namespace tavrin;
using namespace tavrin::test;
using namespace std::chrono_literals;

namespace {

// How long the producer gets to show a picture it must not have yet.
constexpr auto NOT_YET = 150ms;
constexpr size_t PICTURES = 12;

Bytes withStartCode(const Bytes& stream, const NalSpan& unit) {
  Bytes out = {0, 0, 0, 1};
  out.insert(out.end(), stream.begin() + long(unit.begin), stream.begin() + long(unit.end));
  return out;
}

// The stream as the capture server sends it: per picture the parameter sets,
// the picture's own units (an SEI stays with the slices after it), each behind
// a 4-byte start code, then the delimiter trailer when `trailer` is set.
// A picture begins at a slice whose first_mb_in_slice is 0 (ue(v) 0 = bit 1).
std::vector<Bytes> framePictures(const Bytes& stream, bool trailer) {
  Bytes sps, pps, pending;
  std::vector<Bytes> pictures;
  for (const NalSpan& unit : nalUnits(stream)) {
    Bytes nal = withStartCode(stream, unit);
    if (unit.type == 7) { sps = nal; continue; }
    if (unit.type == 8) { pps = nal; continue; }
    if (unit.type == 9) continue;  // the stream's own trailer
    bool slice = unit.type == 1 || unit.type == 5;
    bool firstSlice = slice && unit.end > unit.begin + 1 && (stream[unit.begin + 1] & 0x80);
    if (firstSlice) {
      pictures.push_back(sps);
      pictures.back().insert(pictures.back().end(), pps.begin(), pps.end());
      pictures.back().insert(pictures.back().end(), pending.begin(), pending.end());
      pending.clear();
    }
    Bytes& target = slice ? pictures.back() : pending;
    target.insert(target.end(), nal.begin(), nal.end());
  }
  if (trailer)
    for (Bytes& picture : pictures) picture.insert(picture.end(), PICTURE_END.begin(), PICTURE_END.end());
  return pictures;
}

// Waits (bounded) until the queue holds `count` pictures; the count it ends with.
uint32_t waitQueued(FrameQueue& queue, uint32_t count, std::chrono::milliseconds timeout) {
  auto until = std::chrono::steady_clock::now() + timeout;
  while (queue.count() < count && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(1ms);
  return queue.count();
}

}  // namespace

// The server sends one picture at a time and waits for the client to queue
// it. With the delimiter trailer the producer yields picture N before a byte
// of N + 1 is on the wire; without it, picture N shows up only once N + 1's
// bytes have arrived (the last slice is not ended before the next start code).
TEST(PictureEnd, TrailerLetsTheProducerYieldEachPictureAtOnce) {
  const TestStream& stream = testStream("baseline");
  ASSERT_GE(stream.frames, int(PICTURES));
  const struct {
    const char* name;
    bool trailer;
    uint32_t lag;  // pictures still missing after a picture's bytes were all sent
  } cases[] = {{"trailer", true, 0}, {"no trailer", false, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Bytes> pictures = framePictures(stream.bytes, c.trailer);
    ASSERT_GE(pictures.size(), PICTURES);
    Listener listener;
    ASSERT_TRUE(listener.ok());
    FrameProducer producer;
    ASSERT_TRUE(producer.start("127.0.0.1", listener.port()));
    int peer = listener.accept(5s);
    ASSERT_GE(peer, 0);
    FrameQueue& queue = Singleton<FrameQueue>::instance();

    for (uint32_t n = 0; n < PICTURES; ++n) {
      ASSERT_TRUE(sendAll(peer, pictures[n].data(), pictures[n].size()));
      uint32_t expected = n + 1 - c.lag;
      ASSERT_EQ(waitQueued(queue, expected, 5s), expected) << "after picture " << n;
      if (c.lag > 0) {
        // Picture n must stay missing while nothing more is sent.
        std::this_thread::sleep_for(NOT_YET);
        EXPECT_EQ(queue.count(), expected) << "after picture " << n;
      }
    }
    const AVFrame* first = queue.peekFront();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->width, stream.width);
    EXPECT_EQ(first->height, stream.height);
    queue.popFront();
    producer.stop();
    ::close(peer);
  }
}
