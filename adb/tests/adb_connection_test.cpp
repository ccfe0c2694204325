// AdbConnection against the tests' own adb server and plain loopback peers.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "adb/AdbConnection.h"
#include "adb/tests/AdbTestServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestNet.h"

namespace tavrin {
namespace {

using namespace std::chrono_literals;
using test::AdbTestServer;

class AdbConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.ok());
    setenv("ANDROID_ADB_SERVER_PORT", std::to_string(server.port()).c_str(), 1);
    server.setDevices({{"PHONE1", "device"}});
  }
  void TearDown() override { unsetenv("ANDROID_ADB_SERVER_PORT"); }

  AdbTestServer server;
};

TEST(AdbServerPort, FollowsTheAdbToolsVariable) {
  struct Case {
    const char* value;
    uint16_t port;
  } cases[] = {{nullptr, 5037}, {"", 5037}, {"6123", 6123}, {"0", 5037}, {"70000", 5037}, {"12x", 5037}};
  for (const auto& c : cases) {
    if (c.value) setenv("ANDROID_ADB_SERVER_PORT", c.value, 1);
    else unsetenv("ANDROID_ADB_SERVER_PORT");
    EXPECT_EQ(adbServerPort(), c.port) << (c.value ? c.value : "(unset)");
  }
  unsetenv("ANDROID_ADB_SERVER_PORT");
}

TEST_F(AdbConnectionTest, ListsOnlyUsablePhones) {
  // 1023 bytes of text is the most the reply buffer takes.
  std::string full = "PHONE1\tdevice\n";
  while (full.size() < 1023) full += "x";
  struct Case {
    const char* name;
    std::string text;
    bool ok;
    std::vector<std::string> serials;
  } cases[] = {
      {"no device at all", "", false, {}},
      {"one usable among others",
       "0123456789ABCDEF\tdevice\nBADC0FFEE\tunauthorized\nemulator-5554\tdevice\n",
       true,
       {"0123456789ABCDEF"}},
      {"two phones keep the server's order", "B\tdevice\nA\tdevice\n", true, {"B", "A"}},
      {"only unusable ones", "X\toffline\nlonely-line\n", true, {}},
      {"1023 bytes", full, true, {"PHONE1"}},
      {"1024 bytes", full + "x", false, {}},
  };
  for (const auto& c : cases) {
    server.setDeviceListText(c.text);
    AdbConnection conn;
    std::vector<std::string> serials{"stale"};
    EXPECT_EQ(conn.listDevicesConnected(serials), c.ok) << c.name;
    EXPECT_EQ(serials, c.serials) << c.name;
    EXPECT_FALSE(conn.isOpen()) << c.name;
  }
}

TEST_F(AdbConnectionTest, UnknownSerialFailsTheTransportAndSendsNoShell) {
  server.setDevices({{"PHONE1", "device"}, {"LOCKED", "unauthorized"}});
  for (const char* serial : {"NOSUCH", "LOCKED"}) {
    char output[64] = {};
    AdbConnection conn;
    EXPECT_FALSE(conn.runShellLauncher(serial, "getprop ro.build.version.sdk", output, sizeof output)) << serial;
    EXPECT_STREQ(output, "") << serial;
  }
  EXPECT_EQ(server.requests(),
            (std::vector<std::string>{"host:transport:NOSUCH", "host:transport:LOCKED"}));
}

TEST_F(AdbConnectionTest, RunShellCollectsOutputAsText) {
  server.setShellOutput("getprop ro.build.version.sdk", "23\r\n");
  server.setShellOutput("long", "0123456789");
  char sdk[128] = {};
  AdbConnection conn;
  ASSERT_TRUE(conn.runShellLauncher("PHONE1", "getprop ro.build.version.sdk", sdk, sizeof sdk));
  EXPECT_STREQ(sdk, "23\r\n");
  EXPECT_FALSE(conn.isOpen());
  EXPECT_EQ(server.requests(),
            (std::vector<std::string>{"host:transport:PHONE1", "shell:getprop ro.build.version.sdk"}));

  // A full buffer keeps its last byte as the terminator.
  char small[9];
  std::memset(small, 0, sizeof small);
  ASSERT_TRUE(conn.runShellLauncher("PHONE1", "long", small, 8));
  EXPECT_STREQ(small, "0123456");
  EXPECT_EQ(small[8], '\0');
}

TEST_F(AdbConnectionTest, RequestsAreCutToTheirBuffers) {
  std::string longCommand(300, 'a');
  // "shell:" + 248 'a' + a 2-byte letter straddling byte 255: the letter goes.
  std::string straddling = std::string(248, 'a') + "\xC3\xA9" + "tail";
  struct Case {
    std::string command;
    std::string sent;
  } cases[] = {
      {longCommand, "shell:" + std::string(249, 'a')},
      {straddling, "shell:" + std::string(248, 'a')},
      {"ls", "shell:ls"},
  };
  for (const auto& c : cases) {
    AdbConnection conn;
    conn.runShellLauncher("PHONE1", c.command.c_str());
    auto requests = server.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back(), c.sent);
    EXPECT_LE(requests.back().size(), 255u);
  }
}

TEST_F(AdbConnectionTest, FileProbe) {
  server.addFile("/data/local/tmp/tavrindaemon");
  server.setShellOutput("ls -l /data/local/tmp/gone", "ls: /data/local/tmp/gone: No such file or directory\n");
  struct Case {
    const char* path;
    bool exists;
  } cases[] = {
      {"/data/local/tmp/tavrindaemon", true},
      {"/data/local/tmp/missing", false},  // "PATH: No such file or directory"
      {"/data/local/tmp/gone", false},     // the newer listing tool's complaint
  };
  for (const auto& c : cases) {
    AdbConnection conn;
    EXPECT_EQ(conn.fileExistsConnected("PHONE1", c.path), c.exists) << c.path;
    EXPECT_FALSE(conn.isOpen());
  }
  AdbConnection conn;
  EXPECT_FALSE(conn.fileExistsConnected("NOSUCH", "/data/local/tmp/tavrindaemon"));
}

TEST_F(AdbConnectionTest, ShellWithoutOutputReturnsAfterOnePollAndKeepsRunning) {
  std::atomic<bool> clientClosed{false};
  server.setShellHandler([&](AdbTestServer::ShellStream& s) {
    if (s.command() != "tavrininput 12347") return false;
    clientClosed = s.waitClientClosed(20s);
    return true;
  });
  AdbConnection conn;
  ASSERT_TRUE(conn.connect(adbServerPort(), "127.0.0.1"));
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(conn.runShell("PHONE1", "tavrininput 12347", nullptr, 0, false));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_TRUE(conn.isOpen());
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(server.openShells(), 1);  // still running on the phone
  conn.close();
  EXPECT_TRUE(server.waitOpenShells(0, 3s));
  EXPECT_TRUE(clientClosed);
}

TEST_F(AdbConnectionTest, HalvingTimeOutCutsSlowOutputAndKeepReadsItAll) {
  server.setShellHandler([](AdbTestServer::ShellStream& s) {
    if (s.command() != "slow") return false;
    for (const char* part : {"one\n", "two\n", "three\n", "four\n"}) {
      if (!s.write(part)) break;
      std::this_thread::sleep_for(300ms);
    }
    return true;
  });
  // Receives wait 2, 1 and 0 s: the third finds nothing yet and ends it.
  char cut[256] = {};
  AdbConnection conn;
  EXPECT_TRUE(conn.runShellLauncher("PHONE1", "slow", cut, sizeof cut));
  EXPECT_STREQ(cut, "one\ntwo\n");

  char all[256] = {};
  ASSERT_TRUE(conn.connect(adbServerPort(), "127.0.0.1"));
  EXPECT_TRUE(conn.runShell("PHONE1", "slow", all, sizeof all, true));
  EXPECT_STREQ(all, "one\ntwo\nthree\nfour\n");
}

TEST_F(AdbConnectionTest, Forwards) {
  server.setDevices({{"PHONE1", "device"}, {"LOCKED", "unauthorized"}});
  AdbConnection conn;
  EXPECT_TRUE(conn.addForward("PHONE1", 2539, 2539));
  EXPECT_FALSE(conn.isOpen());
  EXPECT_FALSE(conn.addForward("NOSUCH", 12347, 12347));
  EXPECT_FALSE(conn.addForward("LOCKED", 12347, 12347));
  EXPECT_FALSE(conn.addForward(nullptr, 12347, 12347));
  auto forwards = server.forwards();
  ASSERT_EQ(forwards.size(), 1u);
  EXPECT_EQ(forwards[0].serial, "PHONE1");
  EXPECT_EQ(forwards[0].pcPort, 2539);
  EXPECT_EQ(forwards[0].phonePort, 2539);
  EXPECT_EQ(server.requests(),
            (std::vector<std::string>{"host-serial:PHONE1:forward:tcp:2539;tcp:2539",
                                      "host-serial:NOSUCH:forward:tcp:12347;tcp:12347",
                                      "host-serial:LOCKED:forward:tcp:12347;tcp:12347"}));
}

TEST_F(AdbConnectionTest, ShellRequestsCanRunPrograms) {
  test::TempDir dir;
  std::string pidFile = dir.file("pid");
  server.setShellHandler(test::runPrograms([&](const std::string& command) -> std::optional<test::ShellProgram> {
    if (command == "hello") return test::ShellProgram{{"/bin/sh", "-c", "echo hello"}, {}};
    if (command == "hold")
      return test::ShellProgram{{"/bin/sh", "-c", "echo $$ > " + pidFile + "; exec sleep 20"}, {}};
    return std::nullopt;
  }));
  char output[64] = {};
  AdbConnection conn;
  ASSERT_TRUE(conn.runShellLauncher("PHONE1", "hello", output, sizeof output));
  EXPECT_STREQ(output, "hello\n");
  ASSERT_TRUE(conn.runShellLauncher("PHONE1", "other", output, sizeof output));

  // A held shell keeps its program running; closing the stream ends it.
  ASSERT_TRUE(conn.connect(adbServerPort(), "127.0.0.1"));
  ASSERT_TRUE(conn.runShell("PHONE1", "hold"));
  pid_t pid = 0;
  for (int i = 0; i < 200 && pid <= 0; ++i) {
    pid = std::atoi(test::readFile(pidFile).c_str());
    if (pid <= 0) std::this_thread::sleep_for(10ms);
  }
  ASSERT_GT(pid, 0);
  EXPECT_EQ(kill(pid, 0), 0);
  conn.close();
  EXPECT_TRUE(server.waitOpenShells(0, 3s));
  EXPECT_NE(kill(pid, 0), 0);
}

// The plain-TCP primitives against a bare loopback peer.
TEST(AdbConnectionPrimitives, ConnectSendReceive) {
  AdbConnection conn;
  EXPECT_FALSE(conn.connect(uint16_t(test::freePort())));
  EXPECT_FALSE(conn.isOpen());
  EXPECT_FALSE(conn.connect(80, "phone.local"));  // not a dotted address

  test::Listener listener;
  ASSERT_TRUE(listener.ok());
  ASSERT_TRUE(conn.connect(uint16_t(listener.port()), ""));
  int peer = listener.accept(2s);
  ASSERT_GE(peer, 0);

  size_t length = 5;
  ASSERT_TRUE(conn.send("hello", &length, 1));
  EXPECT_EQ(length, 5u);
  char got[5];
  ASSERT_TRUE(test::recvExact(peer, got, 5, 2s));
  EXPECT_EQ(std::string(got, 5), "hello");

  // Silence: a time-out, reported as such, and the connection stays.
  char buffer[16];
  size_t capacity = sizeof buffer;
  bool timedOut = false;
  EXPECT_FALSE(conn.receive(buffer, &capacity, 0, &timedOut));
  EXPECT_TRUE(timedOut);
  EXPECT_TRUE(conn.isOpen());

  // A closed peer is a successful receive of nothing.
  ::close(peer);
  capacity = sizeof buffer;
  EXPECT_TRUE(conn.receive(buffer, &capacity, 1, &timedOut));
  EXPECT_EQ(capacity, 0u);
  EXPECT_FALSE(timedOut);
  conn.close();
  conn.close();
  capacity = sizeof buffer;
  EXPECT_FALSE(conn.receive(buffer, &capacity, 0));
}

TEST(AdbConnectionPrimitives, ResetClosesTheConnection) {
  test::Listener listener;
  AdbConnection conn;
  ASSERT_TRUE(conn.connect(uint16_t(listener.port())));
  int peer = listener.accept(2s);
  ASSERT_GE(peer, 0);
  linger hard{1, 0};  // close with a reset
  setsockopt(peer, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  ::close(peer);
  char buffer[16];
  size_t capacity = sizeof buffer;
  EXPECT_FALSE(conn.receive(buffer, &capacity, 1));
  EXPECT_FALSE(conn.isOpen());
}

TEST(SplitFields, Cases) {
  std::string long300(300, 'x');
  std::string straddle = std::string(258, 'x') + "\xC3\xA9";  // the letter would end at byte 260
  struct Case {
    std::string text;
    char separator;
    bool ok;
    std::vector<std::string> fields;
  } cases[] = {
      {"", '\n', false, {}},
      {"a\tb", '\t', true, {"a", "b"}},
      {"a\n", '\n', true, {"a", ""}},
      {"\t\t", '\t', true, {"", "", ""}},
      {"no separator", '\t', true, {"no separator"}},
      {long300 + "\tb", '\t', true, {std::string(259, 'x'), "b"}},
      {straddle, '\t', true, {std::string(258, 'x')}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> fields{"stale"};
    EXPECT_EQ(splitFields(c.text.c_str(), c.separator, fields), c.ok) << c.text.substr(0, 20);
    EXPECT_EQ(fields, c.fields) << c.text.substr(0, 20);
  }
  std::vector<std::string> fields;
  EXPECT_FALSE(splitFields(nullptr, '\n', fields));
}

}  // namespace
}  // namespace tavrin
