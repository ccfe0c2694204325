#include <gtest/gtest.h>

#include "common/DaemonProtocol.h"
#include "launcher/tavrinctl/CtlArguments.h"

namespace tavrin {
namespace {

TEST(CtlArguments, Parses) {
  struct Case {
    std::vector<std::string> args;
    std::string host;
    int port;
    uint32_t command;
    size_t dataSize;
  } cases[] = {
      {{"127.0.0.1", "ping"}, "127.0.0.1", 9191, DAEMON_CMD_PING, 0},
      {{"192.168.1.20:9300", "stop-mirror"}, "192.168.1.20", 9300, DAEMON_CMD_STOP_MIRROR, 0},
      {{"localhost", "stop-input"}, "127.0.0.1", 9191, DAEMON_CMD_STOP_INPUT, 0},
      {{":9191", "ping"}, "127.0.0.1", 9191, DAEMON_CMD_PING, 0},
      {{"127.0.0.1", "start-mirror", "-1", "-1", "8000000"}, "127.0.0.1", 9191, DAEMON_CMD_START_MIRROR, 16},
      {{"127.0.0.1", "start-input", "12347"}, "127.0.0.1", 9191, DAEMON_CMD_START_INPUT, 4},
  };
  for (const auto& c : cases) {
    std::string error;
    auto request = parseCtlArguments(c.args, &error);
    ASSERT_TRUE(request) << c.args[1] << ": " << error;
    EXPECT_EQ(request->host, c.host);
    EXPECT_EQ(request->port, c.port);
    EXPECT_EQ(request->command, c.command);
    EXPECT_EQ(request->data.size(), c.dataSize);
  }
}

TEST(CtlArguments, RejectsWithAReason) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{}, "expected HOST[:PORT] and a command"},
      {{"127.0.0.1"}, "expected HOST[:PORT] and a command"},
      {{"127.0.0.1:0", "ping"}, "invalid port in '127.0.0.1:0'"},
      {{"127.0.0.1:x", "ping"}, "invalid port in '127.0.0.1:x'"},
      {{"phone.local", "ping"}, "invalid host 'phone.local' (a dotted IPv4 address)"},
      {{"127.0.0.1", "reboot"}, "unknown command 'reboot'"},
      {{"127.0.0.1", "ping", "now"}, "ping takes no arguments"},
      {{"127.0.0.1", "start-mirror", "720", "1280"}, "start-mirror takes WIDTH HEIGHT BITRATE"},
      {{"127.0.0.1", "start-mirror", "720", "1280x", "4000000"}, "start-mirror: WIDTH HEIGHT BITRATE must be whole numbers"},
      {{"127.0.0.1", "start-mirror", "720", "1280", "99999999999"}, "start-mirror: WIDTH HEIGHT BITRATE must be whole numbers"},
      {{"127.0.0.1", "start-input", "70000"}, "start-input: invalid port '70000'"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(parseCtlArguments(c.args, &error));
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace
}  // namespace tavrin
