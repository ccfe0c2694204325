// Whole client sessions under a private Xvfb, against a phone stand-in on the
// fixed ports that serves an ffmpeg-made stream of a still red picture.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "platform/x11/X11Window.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestNet.h"
#include "tests/support/Xvfb.h"

using namespace tavrin;
using namespace tavrin::test;
using namespace std::chrono_literals;

namespace {

const std::string CLIENT = std::string(TAVRIN_BIN_DIR) + "/TavrinMirrorClient";
const std::vector<std::string> USB_ARGS = {"127.0.0.1", "2539", "12347", "0", "1080", "1920", "0", "720", "1280"};

// The 9 bytes the capture server sends after each picture: a delimiter and
// zeros, so the last picture completes at once.
const std::string PICTURE_END("\x00\x00\x00\x01\x09\xF0\x00\x00\x00", 9);

std::string makeStillStream(const TempDir& dir) {
  std::string path = dir.file("still.h264");
  std::string out;
  auto status = runCommand({"ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "color=c=red:s=720x1280:r=30",
                            "-frames:v", "10", "-c:v", "libx264", "-preset", "ultrafast", "-tune", "zerolatency",
                            "-pix_fmt", "yuv420p", "-f", "h264", path},
                           &out, 60s);
  if (status != 0) return {};
  return readFile(path) + PICTURE_END;
}

// The phone's two ports: video on 2539 (the stream, then silence or a close)
// and the event channel on 2541. Accepts every client that comes.
class PhoneStandIn {
 public:
  PhoneStandIn(std::string stream, bool closeVideo) : stream_(std::move(stream)), closeVideo_(closeVideo) {
    thread_ = std::thread([this] { serve(); });
  }
  ~PhoneStandIn() {
    stop_ = true;
    thread_.join();
    for (int fd : open_) close(fd);
  }
  bool ok() const { return video_.ok() && events_.ok(); }
  int eventConnections() const { return eventCount_; }
  void sendEvent(const std::string& bytes) {
    std::lock_guard lock(m_);
    if (lastEvent_ >= 0) sendAll(lastEvent_, bytes.data(), bytes.size());
  }

 private:
  void serve() {
    while (!stop_) {
      int v = video_.accept(50ms);
      if (v >= 0) {
        sendAll(v, stream_.data(), stream_.size());
        if (closeVideo_) close(v);
        else open_.push_back(v);
      }
      int e = events_.accept(50ms);
      if (e >= 0) {
        std::lock_guard lock(m_);
        open_.push_back(e);
        lastEvent_ = e;
        ++eventCount_;
      }
    }
  }
  Listener video_{2539};
  Listener events_{2541};
  std::string stream_;
  bool closeVideo_;
  std::atomic<bool> stop_{false};
  std::atomic<int> eventCount_{0};
  std::mutex m_;
  int lastEvent_ = -1;
  std::vector<int> open_;
  std::thread thread_;
};

std::string rotationMessage(uint8_t rotation) { return std::string("\x09\0\0\0\x01\0\0\0", 8) + char(rotation); }

struct Session : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(xvfb.ok());
    stream = makeStillStream(dir);
    ASSERT_FALSE(stream.empty());
  }
  std::map<std::string, std::string> env() const {
    return {{"DISPLAY", xvfb.display()}, {"XDG_RUNTIME_DIR", runtime.path()}, {"TAVRIN_LOG_DIR", dir.path()}};
  }
  bool startClient(ChildProcess& client) {
    std::vector<std::string> argv{CLIENT};
    argv.insert(argv.end(), USB_ARGS.begin(), USB_ARGS.end());
    return client.start(argv, env());
  }
  // The client's window, once it shows.
  unsigned long waitWindow(X11Display& x, std::chrono::milliseconds t = 15s) {
    auto deadline = std::chrono::steady_clock::now() + t;
    while (std::chrono::steady_clock::now() < deadline) {
      auto found = x.findWindows("Tavrin", "SDL_app");
      if (!found.empty()) return found.front();
      std::this_thread::sleep_for(50ms);
    }
    return 0;
  }
  template <typename Pred>
  bool waitUntil(Pred pred, std::chrono::milliseconds t = 10s) {
    auto deadline = std::chrono::steady_clock::now() + t;
    while (std::chrono::steady_clock::now() < deadline) {
      if (pred()) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }

  Xvfb xvfb;
  TempDir dir, runtime;
  std::string stream;
};

bool isRed(uint32_t p) { return (p >> 16 & 0xFF) > 200 && (p >> 8 & 0xFF) < 60 && (p & 0xFF) < 60; }
bool isBlack(uint32_t p) { return (p >> 16 & 0xFF) < 30 && (p >> 8 & 0xFF) < 30 && (p & 0xFF) < 30; }

// Samples the window: the middle of the video area (left part) and the side
// bar's strip at the right edge (portrait) or bottom edge (landscape).
struct Look {
  bool videoRed = false, sideBlack = false;
  int width = 0, height = 0;
};

Look look(X11Display& x) {
  Look l;
  auto found = x.findWindows("Tavrin", "SDL_app");
  if (found.size() != 1) return l;
  auto px = x.capture(found.front(), l.width, l.height);
  if (px.empty()) return l;
  auto at = [&](int fx, int fy) { return px[size_t(fy) * l.width + fx]; };
  bool portrait = l.height > l.width;
  l.videoRed = portrait ? isRed(at(l.width * 45 / 100, l.height / 2)) : isRed(at(l.width * 45 / 100, l.height / 2));
  // The side bar takes the last 66/786 of the long canvas side... of the short one.
  l.sideBlack = portrait ? isBlack(at(l.width - 3, l.height / 2)) : isBlack(at(l.width / 2, l.height - 3));
  return l;
}

}  // namespace

TEST_F(Session, MirrorsRotatesAndClosesCleanly) {
  PhoneStandIn phone(stream, false);
  ASSERT_TRUE(phone.ok());
  ChildProcess client;
  ASSERT_TRUE(startClient(client));
  X11Display x(xvfb.display());
  ASSERT_NE(waitWindow(x), 0u);
  Look l;
  ASSERT_TRUE(waitUntil([&] { l = look(x); return l.videoRed && l.sideBlack && l.height > l.width; }))
      << l.width << "x" << l.height;
  // Desktop 1024 high: 824 high, 506 wide (video plus side bar).
  EXPECT_EQ(l.width, 506);
  EXPECT_EQ(l.height, 824);

  ASSERT_TRUE(waitUntil([&] { return phone.eventConnections() == 1; }));
  phone.sendEvent(std::string("\x08\0\0\0\x01\0\0\0", 8));  // no payload: nothing happens
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(look(x).width, 506);
  phone.sendEvent(rotationMessage(1));
  ASSERT_TRUE(waitUntil([&] { l = look(x); return l.width == 824 && l.height == 506; }))
      << l.width << "x" << l.height;
  ASSERT_TRUE(waitUntil([&] { l = look(x); return l.videoRed && l.sideBlack; }));

  x.closeWindow(waitWindow(x));
  EXPECT_EQ(client.wait(10s), 0);
}

TEST_F(Session, LostVideoKeepsTheWindowAndEndsWithMinusOne) {
  PhoneStandIn phone(stream, true);
  ChildProcess client;
  ASSERT_TRUE(startClient(client));
  X11Display x(xvfb.display());
  ASSERT_NE(waitWindow(x), 0u);
  ASSERT_TRUE(waitUntil([&] { return look(x).videoRed; }));
  unsigned long w = waitWindow(x);
  std::this_thread::sleep_for(500ms);
  EXPECT_TRUE(client.running());
  // The notice is drawn in white over the lower half of the picture.
  int width = 0, height = 0;
  auto px = x.capture(w, width, height);
  bool white = false;
  for (int y = height / 2; y < height && !white; ++y)
    for (int xx = 0; xx < width * 9 / 10; ++xx)
      if ((px[size_t(y) * width + xx] & 0xF0F0F0) == 0xF0F0F0) { white = true; break; }
  EXPECT_TRUE(white);
  x.closeWindow(w);
  EXPECT_EQ(client.wait(10s), 255);
}

TEST_F(Session, NoVideoServerEndsWithMinusOne) {
  ChildProcess client;
  ASSERT_TRUE(startClient(client));
  EXPECT_EQ(client.wait(10s), 255);
  EXPECT_NE(readFile(dir.file("TavrinMirrorClient.log")).find("video"), std::string::npos);
}

TEST_F(Session, SecondClientEndsTheFirstAndCarriesOn) {
  PhoneStandIn phone(stream, false);
  ChildProcess first, second;
  ASSERT_TRUE(startClient(first));
  X11Display x(xvfb.display());
  ASSERT_NE(waitWindow(x), 0u);
  // The first one is mirroring (both channels up) before the second comes.
  ASSERT_TRUE(waitUntil([&] { return phone.eventConnections() == 1; }));
  ASSERT_TRUE(startClient(second));
  EXPECT_EQ(first.wait(10s), 0);
  ASSERT_TRUE(waitUntil([&] { return phone.eventConnections() == 2; }));
  ASSERT_TRUE(waitUntil([&] { return look(x).videoRed; }));
  EXPECT_TRUE(second.running());
  x.closeWindow(waitWindow(x));
  EXPECT_EQ(second.wait(10s), 0);
}
