#include <gtest/gtest.h>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include <chrono>
#include <cstring>

#include "phone/mirror/SocketServer.h"
#include "phone/mirror/TavrinMirrorSession.h"
#include "phone/mirror/TestCaptureSource.h"
#include "phone/mirror/TestPattern.h"
#include "phone/mirror/X11CaptureSource.h"
#include "phone/mirror/tests/H264TestDecoder.h"
#include "phone/mirror/tests/XDraw.h"
#include "tests/support/TempDir.h"
#include "tests/support/Xvfb.h"

using namespace tavrin::mirror;
using namespace tavrin::mirror::test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// A video connection in memory; it "loses its client" after `limit` sends,
// which ends the session's loop.
class MemoryServer : public ISocketServer {
 public:
  explicit MemoryServer(int limit) : limit_(limit) {}
  bool open(int) override { return true; }
  bool waitForClient() override { return true; }
  int64_t receive(uint8_t*, size_t) override { return -1; }
  int64_t send(const uint8_t* buffer, size_t length) override {
    if (sends_++ >= limit_) return -1;
    bytes.insert(bytes.end(), buffer, buffer + length);
    return int64_t(length);
  }
  bool isAsync() const override { return false; }
  void close() override {}
  std::vector<uint8_t> bytes;

 private:
  int limit_;
  int sends_ = 0;
};

}  // namespace

// The display, scaled into a square video, keeps its aspect: black bars left
// and right, the picture (and its time stamp) in between.
TEST(MirrorSession, EncodesTheDisplayLetterboxedIntoTheVideo) {
  tavrin::test::TempDir phone;
  TestCaptureSource source(phone.file("test-rotation"));
  MemoryServer server(20);
  TavrinMirrorSession session(source, server, true);
  ASSERT_TRUE(session.init(720, 720, 0));
  EXPECT_EQ(session.bitRate(), DEFAULT_BIT_RATE);
  EXPECT_EQ(session.videoSize(), (VideoSize{720, 720}));
  session.run();

  EXPECT_EQ(framingProblems(server.bytes, true), "");
  H264TestDecoder decoder;
  ASSERT_TRUE(decoder.ok());
  decoder.feed(server.bytes);
  ASSERT_GE(decoder.sizes().size(), 15u);
  for (auto size : decoder.sizes()) EXPECT_EQ(size, (H264TestDecoder::Size{720, 720}));

  // 1080x1920 into 720x720: 405 wide at x = 157.
  for (int y : {10, 360, 700}) {
    EXPECT_NEAR(decoder.lumaAt(60, y), 16, 6) << y;
    EXPECT_NEAR(decoder.lumaAt(660, y), 16, 6) << y;
  }
  EXPECT_GT(decoder.lumaAt(170, 360), 100);  // the first (light grey) bar
  auto stamp = readStamp(decoder.lastLuma().data(), decoder.lastStride(), 157, 0, 405);
  ASSERT_TRUE(stamp.has_value());
  uint64_t age = (stampClockUs() - *stamp) & STAMP_TIME_MASK;
  EXPECT_LT(age, 5000000u);
}

TEST(MirrorSession, RefusedSizeFallsBackTo720x1280) {
  tavrin::test::TempDir phone;
  TestCaptureSource source(phone.file("test-rotation"));
  MemoryServer server(0);
  TavrinMirrorSession session(source, server, true);
  // What an unconfigured launcher asks for.
  ASSERT_TRUE(session.init(-1, -1, -1));
  EXPECT_EQ(session.videoSize(), (VideoSize{720, 1280}));
  EXPECT_EQ(session.bitRate(), DEFAULT_BIT_RATE);
}

TEST(TestCaptureSource, TurnsWithTheRotationFile) {
  tavrin::test::TempDir phone;
  TestCaptureSource source(phone.file("test-rotation"));
  DisplayInfo info;
  ASSERT_TRUE(source.displayInfo(info));
  EXPECT_EQ(info.width, 1080);
  EXPECT_EQ(info.height, 1920);
  EXPECT_EQ(info.rotation, 0);
  CapturedFrame frame;
  ASSERT_TRUE(source.grab(frame));
  EXPECT_EQ(frame.width, 1080);
  EXPECT_EQ(frame.height, 1920);

  ASSERT_TRUE(tavrin::test::writeFile(phone.file("test-rotation"), "1\n"));
  ASSERT_TRUE(source.displayInfo(info));
  EXPECT_EQ(info.rotation, 1);
  EXPECT_EQ(info.width, 1080);  // natural orientation
  ASSERT_TRUE(source.grab(frame));
  EXPECT_EQ(frame.width, 1920);
  EXPECT_EQ(frame.height, 1080);
  EXPECT_EQ(frame.format, AV_PIX_FMT_YUV420P);
  // The stamp is drawn at the turned picture's scale too.
  auto stamp = readStamp(frame.data[0], frame.linesize[0], 0, 0, frame.width);
  ASSERT_TRUE(stamp.has_value());
}

// The X screen as the display: its size, nothing new while it stays still,
// a new picture with the drawn pixels once something is drawn.
TEST(X11CaptureSource, ReportsTheScreenAndItsChanges) {
  tavrin::test::Xvfb xvfb(720, 1280);
  ASSERT_TRUE(xvfb.ok());
  X11CaptureSource source(xvfb.display());
  DisplayInfo info;
  ASSERT_TRUE(source.displayInfo(info));
  EXPECT_EQ(info.width, 720);
  EXPECT_EQ(info.height, 1280);
  EXPECT_EQ(info.rotation, 0);
  EXPECT_GT(info.refreshRate, 0.0f);

  ASSERT_TRUE(source.waitForChange(Clock::now() + 1s));  // the first picture is due
  CapturedFrame frame;
  ASSERT_TRUE(source.grab(frame));
  EXPECT_EQ(frame.width, 720);
  EXPECT_EQ(frame.height, 1280);
  EXPECT_EQ(frame.format, AV_PIX_FMT_BGR0);
  EXPECT_FALSE(source.waitForChange(Clock::now() + 300ms));

  ASSERT_TRUE(fillRootRectangle(xvfb.display(), 100, 200, 50, 40, 0xFF8000));  // orange
  auto drawn = Clock::now();
  ASSERT_TRUE(source.waitForChange(drawn + 2s));
  EXPECT_LT(Clock::now() - drawn, 1s);
  ASSERT_TRUE(source.grab(frame));
  const uint8_t* pixel = frame.data[0] + 220 * frame.linesize[0] + 120 * 4;
  EXPECT_EQ(pixel[0], 0x00);  // B
  EXPECT_EQ(pixel[1], 0x80);  // G
  EXPECT_EQ(pixel[2], 0xFF);  // R
  EXPECT_FALSE(source.waitForChange(Clock::now() + 200ms));
}
