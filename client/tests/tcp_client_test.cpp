#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "client/session/TcpClient.h"
#include "tests/support/TestNet.h"

using namespace tavrin;
using namespace tavrin::test;
using namespace std::chrono_literals;

namespace {

// An owner that reads only once `needed` bytes are waiting, like the
// video producer and event listener do. It owns its client, which it outlives
// (the client's destructor calls onStopped).
class Owner : public IIoCallback {
 public:
  explicit Owner(uint32_t needed = 1) : needed_(needed) { client.setCallback(this); }
  ~Owner() override { client.stop(); }
  void onConnected() override { ++connected; }
  void onDataReady() override {
    ++dataReady;
    if (client.bytesAvailable() < needed_) return;
    std::vector<uint8_t> bytes;
    if (client.readAvailable(bytes)) {
      std::lock_guard lock(m);
      received.insert(received.end(), bytes.begin(), bytes.end());
      cv.notify_all();
    }
  }
  void onStopped() override { ++stopped; }
  void onDisconnected(int reason) override {
    std::lock_guard lock(m);
    disconnects.push_back(reason);
    cv.notify_all();
  }
  template <typename Pred>
  bool waitFor(Pred pred, std::chrono::milliseconds timeout = 5s) {
    std::unique_lock lock(m);
    return cv.wait_for(lock, timeout, pred);
  }

  std::atomic<int> connected{0}, dataReady{0}, stopped{0};
  std::mutex m;
  std::condition_variable cv;
  std::vector<uint8_t> received;
  std::vector<int> disconnects;
  TcpClient client;

 private:
  uint32_t needed_;
};

double processCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

TEST(TcpClient, EmptyHostReachesLoopbackAndDataFlows) {
  Listener listener;
  ASSERT_TRUE(listener.ok());
  Owner owner;
  TcpClient& client = owner.client;
  ASSERT_TRUE(client.start(listener.port(), ""));
  EXPECT_EQ(owner.connected, 1);
  int peer = listener.accept(2s);
  ASSERT_GE(peer, 0);
  ASSERT_TRUE(sendAll(peer, "hello", 5));
  EXPECT_TRUE(owner.waitFor([&] { return owner.received.size() == 5; }));
  uint8_t out[] = {1, 2, 3};
  size_t len = sizeof out;
  EXPECT_TRUE(client.write(out, &len));
  EXPECT_EQ(len, 3u);
  uint8_t back[3];
  EXPECT_TRUE(recvExact(peer, back, 3, 2s));
  close(peer);
}

TEST(TcpClient, NothingListeningFailsAtOnceWithoutThread) {
  int port = freePort();
  Owner owner;
  TcpClient& client = owner.client;
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(client.start(port, "127.0.0.1"));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 500ms);
  EXPECT_EQ(owner.connected, 0);
  EXPECT_FALSE(client.isOpen());
  TcpClient bad;
  EXPECT_FALSE(bad.connect(port, "not-an-address"));
}

TEST(TcpClient, ReadWithNothingWaitingFailsAtOnce) {
  Listener listener;
  TcpClient client;
  ASSERT_TRUE(client.connect(listener.port(), nullptr));
  int peer = listener.accept(2s);
  ASSERT_GE(peer, 0);
  uint8_t buffer[16];
  size_t len = sizeof buffer;
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(client.read(buffer, &len));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 100ms);
  std::vector<uint8_t> all;
  EXPECT_FALSE(client.readAvailable(all));
  close(peer);
}

// The peer closing ends the reader with exactly one onDisconnected(1), also
// when it leaves fewer bytes behind than the owner needs.
TEST(TcpClient, PeerCloseIsReportedOnce) {
  struct Case { std::string leftover; uint32_t needed; } cases[] = {{"", 1}, {"abc", 4}};
  for (const auto& c : cases) {
    Listener listener;
    Owner owner(c.needed);
    TcpClient& client = owner.client;
    ASSERT_TRUE(client.start(listener.port(), "127.0.0.1"));
    client.setReadLowWater(int(c.needed));
    int peer = listener.accept(2s);
    ASSERT_GE(peer, 0);
    if (!c.leftover.empty()) sendAll(peer, c.leftover.data(), c.leftover.size());
    close(peer);
    EXPECT_TRUE(owner.waitFor([&] { return !owner.disconnects.empty(); })) << c.leftover;
    std::this_thread::sleep_for(200ms);
    std::lock_guard lock(owner.m);
    EXPECT_EQ(owner.disconnects, std::vector<int>{1}) << c.leftover;
  }
}

TEST(TcpClient, DestroyWithSilentPeerIsPrompt) {
  Listener listener;
  Owner owner;  // declared first: it must outlive the client it is told about
  auto client = std::make_unique<TcpClient>();
  client->setCallback(&owner);
  ASSERT_TRUE(client->start(listener.port(), "127.0.0.1"));
  int peer = listener.accept(2s);
  ASSERT_GE(peer, 0);
  std::this_thread::sleep_for(50ms);
  auto t0 = std::chrono::steady_clock::now();
  client.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 1500ms);
  EXPECT_EQ(owner.stopped, 1);
  EXPECT_TRUE(owner.disconnects.empty());
  close(peer);
}

// With a low-water mark the reader sleeps while a header is incomplete
// instead of waking for the same three bytes over and over.
TEST(TcpClient, PartialHeaderCostsNoCpu) {
  Listener listener;
  Owner owner(4);
  TcpClient& client = owner.client;
  ASSERT_TRUE(client.start(listener.port(), "127.0.0.1"));
  ASSERT_TRUE(client.setReadLowWater(4));
  int peer = listener.accept(2s);
  ASSERT_GE(peer, 0);
  ASSERT_TRUE(sendAll(peer, "abc", 3));
  std::this_thread::sleep_for(50ms);
  double cpu0 = processCpuSeconds();
  int ready0 = owner.dataReady;
  std::this_thread::sleep_for(500ms);
  EXPECT_LT(processCpuSeconds() - cpu0, 0.05);
  EXPECT_LE(owner.dataReady - ready0, 1);
  ASSERT_TRUE(sendAll(peer, "d", 1));
  EXPECT_TRUE(owner.waitFor([&] { return owner.received.size() == 4; }));
  close(peer);
}
