// The launcher's side of the daemon channel against a loopback peer that
// checks the bytes and answers as told.
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "launcher/setup/DaemonClient.h"
#include "tests/support/TestNet.h"

namespace tavrin {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

// Accepts one connection, reads `expect.size()` bytes, then plays `answer`:
// pieces sent with a pause between them, then a close.
std::string serveOnce(test::Listener& listener, size_t expectSize, std::vector<std::string> answer,
                      std::chrono::milliseconds holdBeforeClose = 0ms) {
  int fd = listener.accept(3s);
  if (fd < 0) return "(no connection)";
  std::string got(expectSize, '\0');
  if (!test::recvExact(fd, got.data(), got.size(), 3s)) got = "(short)";
  for (size_t i = 0; i < answer.size(); ++i) {
    if (i) std::this_thread::sleep_for(50ms);
    test::sendAll(fd, answer[i].data(), answer[i].size());
  }
  std::this_thread::sleep_for(holdBeforeClose);
  close(fd);
  return got;
}

TEST(DaemonClient, SendsTheCommandBytes) {
  auto mirror = mirrorCommandData(720, 1280, 4000000);
  auto input = inputCommandData(12347);
  struct Case {
    const char* name;
    uint32_t command;
    const void* data;
    size_t size;
    std::string bytes;
  } cases[] = {
      {"ping", DAEMON_CMD_PING, nullptr, 0, "\x01\x00\x00\x10\x00\x00\x00\x00"s},
      {"stop-input", DAEMON_CMD_STOP_INPUT, nullptr, 0, "\x05\x00\x00\x10\x00\x00\x00\x00"s},
      {"start-mirror", DAEMON_CMD_START_MIRROR, mirror.data(), mirror.size(),
       "\x02\x00\x00\x10\x10\x00\x00\x00"
       "\xD0\x02\x00\x00\x00\x05\x00\x00\x00\x09\x3D\x00\x1E\x00\x00\x00"s},
      {"start-input", DAEMON_CMD_START_INPUT, input.data(), input.size(),
       "\x03\x00\x00\x10\x04\x00\x00\x00\x3B\x30\x00\x00"s},
  };
  for (const auto& c : cases) {
    test::Listener listener;
    std::string got;
    std::thread peer([&] { got = serveOnce(listener, c.bytes.size(), {"CMDSUCCES"}); });
    EXPECT_TRUE(sendDaemonCommand("127.0.0.1", listener.port(), c.command, c.data, c.size)) << c.name;
    peer.join();
    EXPECT_EQ(got, c.bytes) << c.name;
  }
}

TEST(DaemonClient, ReadsTheAnswer) {
  struct Case {
    const char* name;
    std::vector<std::string> answer;
    std::chrono::milliseconds hold;
    DaemonReply reply;
  } cases[] = {
      {"success", {"CMDSUCCES"}, 0ms, DaemonReply::Success},
      {"success in two pieces", {"CMD", "SUCCES"}, 0ms, DaemonReply::Success},
      {"failure", {"CMDFAILED"}, 0ms, DaemonReply::Refused},
      {"a short word", {"CMDSUC"}, 0ms, DaemonReply::Refused},
      {"closed without a word", {}, 0ms, DaemonReply::NoAnswer},
      {"silent past the second", {}, 2500ms, DaemonReply::NoAnswer},
  };
  for (const auto& c : cases) {
    test::Listener listener;
    std::thread peer([&] { serveOnce(listener, 8, c.answer, c.hold); });
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(exchangeDaemonCommand("127.0.0.1", listener.port(), DAEMON_CMD_PING), c.reply) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2200ms) << c.name;
    peer.join();
  }
}

TEST(DaemonClient, NoDaemonListening) {
  EXPECT_EQ(exchangeDaemonCommand("127.0.0.1", test::freePort(), DAEMON_CMD_PING), DaemonReply::NoConnection);
  EXPECT_EQ(exchangeDaemonCommand("127.0.0.1", 0, DAEMON_CMD_PING), DaemonReply::NoConnection);
  EXPECT_FALSE(sendDaemonCommand("not-an-address", 9191, DAEMON_CMD_PING));
}

}  // namespace
}  // namespace tavrin
