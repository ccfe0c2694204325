#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <functional>
#include <map>
#include <thread>

#include "common/Ports.h"
#include "phone/mirror/StreamFraming.h"
#include "phone/mirror/tests/H264TestDecoder.h"
#include "phone/mirror/tests/XDraw.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestNet.h"
#include "tests/support/Xvfb.h"

using namespace tavrin;
using namespace tavrin::mirror;
using namespace tavrin::mirror::test;
using namespace tavrin::test;
using Bytes = std::vector<uint8_t>;
using Size = H264TestDecoder::Size;

namespace {

const std::string MIRROR = std::string(TAVRIN_BIN_DIR) + "/tavrinmirror";

// One run of the capture server with a private phone directory and log.
struct MirrorRun {
  TempDir phone, logs;
  std::string phoneDir = phone.path();
  ChildProcess process;

  bool start(std::vector<std::string> args, std::map<std::string, std::string> env = {}) {
    env["TAVRIN_PHONE_DIR"] = phoneDir;
    env["TAVRIN_LOG_DIR"] = logs.path();
    env.emplace("TAVRIN_CAPTURE", "test");
    args.insert(args.begin(), MIRROR);
    return process.start(args, env) && process.readLine(5s) == "TOKEN-SUCCESS";
  }
  std::string log() const { return readFile(logs.file("MirrorDebugLog.log")); }
};

// The client side: the video connection first, then the event channel.
// Everything that arrives is kept; the video also goes through a decoder.
class Viewer {
 public:
  ~Viewer() { close(); }

  bool connect() {
    if (!waitListening(VIDEO_PORT, 10s)) return false;
    video_ = connectLoopback(VIDEO_PORT, 5s);
    if (video_ < 0 || !waitListening(EVENT_PORT, 5s)) return false;
    events_ = connectLoopback(EVENT_PORT, 5s);
    return events_ >= 0;
  }

  // Reads both connections until `done` holds or the time is up.
  bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p[2] = {{video_, POLLIN, 0}, {events_, POLLIN, 0}};
      if (poll(p, 2, int(std::min<int64_t>(left.count(), 50))) <= 0) continue;
      uint8_t buffer[65536];
      if (p[0].revents) {
        ssize_t n = read(video_, buffer, sizeof buffer);
        if (n <= 0) return done();
        video.insert(video.end(), buffer, buffer + n);
        decoder.feed(buffer, size_t(n));
      }
      if (p[1].revents) {
        ssize_t n = read(events_, buffer, sizeof buffer);
        if (n > 0) events.insert(events.end(), buffer, buffer + n);
      }
    }
    return true;
  }
  void pumpFor(std::chrono::milliseconds duration) { pumpUntil([] { return false; }, duration); }

  void close() {
    if (video_ >= 0) ::close(video_);
    if (events_ >= 0) ::close(events_);
    video_ = events_ = -1;
  }

  Bytes video, events;
  H264TestDecoder decoder;

 private:
  int video_ = -1;
  int events_ = -1;
};

// Offsets where a picture's bytes begin: an SPS with a PPS right after it
// (an SPS alone is the idle re-send).
std::vector<size_t> pictureStarts(const Bytes& stream) {
  std::vector<size_t> starts;
  auto units = splitAnnexB(stream.data(), stream.size());
  for (size_t k = 0; k + 1 < units.size(); ++k)
    if ((stream[units[k].payload] & 0x1F) == 7 && (stream[units[k + 1].payload] & 0x1F) == 8)
      starts.push_back(units[k].start);
  return starts;
}

Bytes lastSps(const Bytes& stream, size_t from = 0) {
  Bytes sps;
  for (const auto& u : splitAnnexB(stream.data() + from, stream.size() - from))
    if ((stream[from + u.payload] & 0x1F) == 7) sps.assign(stream.begin() + from + u.payload, stream.begin() + from + u.end);
  return sps;
}

}  // namespace

TEST(MirrorProgram, RefusesABadSizeAndASecondInstance) {
  MirrorRun first;
  ASSERT_TRUE(first.start({"--size", "720x1280"}));
  ASSERT_TRUE(waitListening(VIDEO_PORT, 10s));  // holds the lock, waits for its client

  MirrorRun second;
  second.phoneDir = first.phoneDir;
  ASSERT_TRUE(second.start({"--size", "720x1280"}));
  EXPECT_EQ(second.process.wait(5s), 255);
  EXPECT_NE(second.log().find("there is already an instance running."), std::string::npos);
  EXPECT_TRUE(first.process.running());

  MirrorRun badSize;
  ASSERT_TRUE(badSize.start({"--size", "720"}));
  EXPECT_EQ(badSize.process.wait(5s), 255);
  EXPECT_EQ(badSize.log(), "Invalid size '720', must be width x height\nparseCmdParams failed.\n");
}

TEST(MirrorProgram, ServesPicturesAndFollowsRotation) {
  MirrorRun mirror;
  ASSERT_TRUE(mirror.start({"--size", "720x1280", "--bit-rate", "4000000"}));
  Viewer viewer;
  ASSERT_TRUE(viewer.connect());
  ASSERT_TRUE(viewer.pumpUntil([&] { return viewer.decoder.sizes().size() >= 10; }, 10s));
  for (auto size : viewer.decoder.sizes()) EXPECT_EQ(size, (Size{720, 1280}));
  EXPECT_TRUE(viewer.events.empty());
  Bytes portraitSps = lastSps(viewer.video);
  ASSERT_FALSE(portraitSps.empty());

  size_t turnedAt = viewer.video.size();
  ASSERT_TRUE(writeFile(mirror.phone.file("test-rotation"), "1"));
  auto landscapeCount = [&] {
    size_t n = 0;
    for (auto size : viewer.decoder.sizes()) n += size == Size{1280, 720};
    return n;
  };
  ASSERT_TRUE(viewer.pumpUntil([&] { return landscapeCount() >= 10; }, 10s));
  EXPECT_EQ(viewer.events, (Bytes{9, 0, 0, 0, 1, 0, 0, 0, 1}));  // one message, nothing more

  // Portrait pictures, then only landscape ones, each with its own SPS.
  const auto& sizes = viewer.decoder.sizes();
  auto firstLandscape = std::find(sizes.begin(), sizes.end(), Size{1280, 720});
  for (auto it = sizes.begin(); it != sizes.end(); ++it)
    EXPECT_EQ(*it, (it < firstLandscape ? Size{720, 1280} : Size{1280, 720}));
  Bytes landscapeSps = lastSps(viewer.video, turnedAt);
  EXPECT_FALSE(landscapeSps.empty());
  EXPECT_NE(landscapeSps, portraitSps);
  EXPECT_EQ(framingProblems(viewer.video, true), "");

  viewer.close();
  EXPECT_EQ(mirror.process.wait(5s), 0);
  std::string log = mirror.log();
  EXPECT_NE(log.find("configure codec: 720x1280 bitRate:4000000"), std::string::npos);
  EXPECT_NE(log.find("display rorate:1"), std::string::npos);
  EXPECT_NE(log.find("configure codec: 1280x720 bitRate:4000000"), std::string::npos);
}

// With the delimiter trailer a decoder that needs to see a picture's end
// (as every splitter does) has each picture from that picture's own bytes;
// without it, it waits for the first bytes of the next.
TEST(MirrorProgram, DelimiterLetsADecoderFinishEachPictureAtOnce) {
  struct Case {
    bool delimiter;
    std::map<std::string, std::string> env;
  } cases[] = {{true, {}}, {false, {{"TAVRIN_NO_AUD", "1"}}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.delimiter ? "delimiter on" : "delimiter off");
    MirrorRun mirror;
    ASSERT_TRUE(mirror.start({"--size", "720x1280"}, c.env));
    Viewer viewer;
    ASSERT_TRUE(viewer.connect());
    ASSERT_TRUE(viewer.pumpUntil([&] { return pictureStarts(viewer.video).size() >= 12; }, 10s));
    viewer.close();
    EXPECT_EQ(mirror.process.wait(5s), 0);
    EXPECT_EQ(framingProblems(viewer.video, c.delimiter), "");

    std::vector<size_t> starts = pictureStarts(viewer.video);
    for (size_t k = 1; k + 1 < starts.size(); ++k) {
      // Everything up to the end of picture k, and not a byte of k + 1.
      H264TestDecoder decoder;
      decoder.feed(viewer.video.data(), starts[k + 1]);
      EXPECT_EQ(decoder.sizes().size(), c.delimiter ? k + 1 : k) << "picture " << k;
    }
  }
}

TEST(MirrorProgram, X11StaticScreenResendsSpsAndDrawingYieldsPictures) {
  Xvfb xvfb(720, 1280);
  ASSERT_TRUE(xvfb.ok());
  MirrorRun mirror;
  ASSERT_TRUE(mirror.start({"--size", "720x1280"}, {{"TAVRIN_CAPTURE", "x11"}, {"DISPLAY", xvfb.display()}}));
  Viewer viewer;
  ASSERT_TRUE(viewer.connect());
  ASSERT_TRUE(viewer.pumpUntil([&] { return viewer.decoder.sizes().size() >= 1; }, 10s));
  viewer.pumpFor(300ms);

  // A still screen: nothing but the SPS, about every 250 ms.
  size_t still = viewer.video.size();
  viewer.pumpFor(1250ms);
  std::vector<int> types = nalTypes(Bytes(viewer.video.begin() + still, viewer.video.end()));
  EXPECT_GE(types.size(), 3u);
  EXPECT_LE(types.size(), 7u);
  for (int t : types) EXPECT_EQ(t, 7);

  size_t pictures = viewer.decoder.sizes().size();
  ASSERT_TRUE(fillRootRectangle(xvfb.display(), 100, 200, 64, 64, 0xFFFFFF));
  ASSERT_TRUE(viewer.pumpUntil([&] { return viewer.decoder.sizes().size() > pictures; }, 2s));
  EXPECT_EQ(viewer.decoder.sizes().back(), (Size{720, 1280}));
  EXPECT_GT(viewer.decoder.lumaAt(132, 232), 200);  // the white square
  EXPECT_LT(viewer.decoder.lumaAt(400, 800), 40);   // Xvfb's black screen

  viewer.close();
  EXPECT_EQ(mirror.process.wait(5s), 0);
}
