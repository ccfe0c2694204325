#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "client/session/EventListener.h"
#include "tests/support/TestNet.h"

using namespace tavrin;
using namespace tavrin::test;
using namespace std::chrono_literals;

namespace {

struct Player : IListenerCallback {
  explicit Player(EventListener& l) : listener(l) {}
  void onMessage(int32_t type) override {
    std::lock_guard lock(m);
    messages.push_back({type, listener.payload()});
    cv.notify_all();
  }
  bool waitCount(size_t n, std::chrono::milliseconds t = 3s) {
    std::unique_lock lock(m);
    return cv.wait_for(lock, t, [&] { return messages.size() >= n; });
  }
  EventListener& listener;
  std::mutex m;
  std::condition_variable cv;
  std::vector<std::pair<int32_t, std::vector<uint8_t>>> messages;
};

std::string message(uint32_t length, uint32_t type, std::string payload) {
  std::string m(8, '\0');
  for (int i = 0; i < 4; ++i) {
    m[i] = char(length >> (8 * i));
    m[4 + i] = char(type >> (8 * i));
  }
  return m + payload;
}

struct Channel : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(listener.connect("127.0.0.1", &player, server.port()));
    peer = server.accept(2s);
    ASSERT_GE(peer, 0);
  }
  void TearDown() override {
    if (peer >= 0) close(peer);
  }
  void send(const std::string& bytes) { ASSERT_TRUE(sendAll(peer, bytes.data(), bytes.size())); }

  Listener server;
  EventListener listener;
  Player player{listener};
  int peer = -1;
};

}  // namespace

TEST_F(Channel, RotationMessageArrivingInPieces) {
  std::string m = message(9, MSG_ROTATION, "\x01");
  send(m.substr(0, 3));
  std::this_thread::sleep_for(100ms);
  send(m.substr(3, 5));  // header complete, payload still missing
  std::this_thread::sleep_for(100ms);
  {
    std::lock_guard lock(player.m);
    EXPECT_TRUE(player.messages.empty());
  }
  send(m.substr(8));
  ASSERT_TRUE(player.waitCount(1));
  EXPECT_EQ(player.messages[0].first, MSG_ROTATION);
  EXPECT_EQ(player.messages[0].second, std::vector<uint8_t>{1});
}

TEST_F(Channel, EmptyPayloadTypeZeroAndOtherTypes) {
  // Type 0 is never passed on; type 7 has no listener; an empty rotation is passed on empty.
  send(message(10, 0, "ab") + message(8, 7, "") + message(8, MSG_ROTATION, "") +
       message(11, MSG_ROTATION, "\x03xy"));
  ASSERT_TRUE(player.waitCount(2));
  std::this_thread::sleep_for(100ms);
  std::lock_guard lock(player.m);
  ASSERT_EQ(player.messages.size(), 2u);
  EXPECT_TRUE(player.messages[0].second.empty());
  EXPECT_EQ(player.messages[1].second, (std::vector<uint8_t>{3, 'x', 'y'}));
}

// A length below the header size loses the message boundaries: the channel
// is closed cleanly and nothing after it is taken for a message.
TEST_F(Channel, ShortLengthClosesTheChannel) {
  send(message(4, MSG_ROTATION, "") + message(9, MSG_ROTATION, "\x01"));
  char byte;
  EXPECT_TRUE(recvExact(peer, &byte, 1, 3s) == false);  // the client hung up
  EXPECT_TRUE(listener.refused());
  std::lock_guard lock(player.m);
  EXPECT_TRUE(player.messages.empty());
}
