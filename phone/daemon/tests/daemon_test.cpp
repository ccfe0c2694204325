// The real tavrindaemon, started as the launcher starts it and observed from
// a harness that adopts its detached copy.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "common/DaemonProtocol.h"
#include "phone/daemon/ProgramMatch.h"
#include "phone/daemon/tests/DaemonHarness.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestNet.h"

namespace tavrin {
namespace {

using namespace std::chrono_literals;
using test::DaemonHarness;

class DaemonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(harness.reaper().ok());
    port = test::freePort();
  }

  // A daemon serving on `port`.
  pid_t startServing() {
    auto started = harness.start({std::to_string(port)});
    EXPECT_EQ(started.output, "TOKEN-SUCCESS\n");
    EXPECT_EQ(started.status, 0);
    EXPECT_GT(started.detached, 0);
    EXPECT_TRUE(test::waitListening(port, 5s));
    return started.detached;
  }

  DaemonHarness harness;
  int port = 0;
};

TEST_F(DaemonTest, StartsOnceDetachesAndServes) {
  pid_t daemon = startServing();
  ASSERT_GT(daemon, 0);
  EXPECT_TRUE(test::processAlive(daemon));
  EXPECT_EQ(access((harness.phoneDir() + "/tavrindaemon.lock").c_str(), F_OK), 0);
  // Answered with exactly the 9-byte word, then closed by the daemon.
  EXPECT_EQ(DaemonHarness::command(port, DAEMON_CMD_PING), "CMDSUCCES");
  EXPECT_EQ(DaemonHarness::command(port, DAEMON_CMD_PING), "CMDSUCCES");
  std::string log = harness.log();
  EXPECT_NE(log.find("Controler process..."), std::string::npos);
  EXPECT_NE(log.find("Do work, CMD:0x10000001\nDo work success."), std::string::npos);
}

TEST_F(DaemonTest, SecondStartExitsOnTheLockWhileTheFirstServes) {
  pid_t first = startServing();
  ASSERT_GT(first, 0);
  auto second = harness.start({std::to_string(port)});
  EXPECT_EQ(second.output, "TOKEN-SUCCESS\n");
  EXPECT_EQ(second.status, 0);
  ASSERT_GT(second.detached, 0);
  EXPECT_EQ(test::Subreaper::waitExit(second.detached, 5s), 255);
  EXPECT_NE(harness.log().find("there is already an instance running."), std::string::npos);
  EXPECT_TRUE(test::processAlive(first));
  EXPECT_EQ(DaemonHarness::command(port, DAEMON_CMD_PING), "CMDSUCCES");
}

TEST_F(DaemonTest, AnswersFailureAndKeepsServing) {
  ASSERT_GT(startServing(), 0);
  struct Case {
    const char* name;
    uint32_t command;
    std::string data;
  } cases[] = {
      {"command above the last", DAEMON_CMD_STOP_INPUT + 1, ""},
      {"command 0", 0, ""},
      {"start-mirror with short data", DAEMON_CMD_START_MIRROR, std::string(8, '\0')},
      {"start-input with short data", DAEMON_CMD_START_INPUT, "\x3B\x30"},
      {"start-mirror with no program to run", DAEMON_CMD_START_MIRROR, test::mirrorData(720, 1280, 4000000)},
  };
  for (const auto& c : cases) {
    // Short data is short for good: the client closes its sending side.
    int fd = test::connectLoopback(port, 3s);
    ASSERT_GE(fd, 0);
    uint8_t header[8];
    putLittleEndian32(header, c.command);
    putLittleEndian32(header + 4, uint32_t(c.data.size()));
    test::sendAll(fd, header, sizeof header);
    if (!c.data.empty()) test::sendAll(fd, c.data.data(), c.data.size());
    shutdown(fd, SHUT_WR);
    char reply[9];
    EXPECT_TRUE(test::recvExact(fd, reply, sizeof reply, 5s)) << c.name;
    EXPECT_EQ(std::string(reply, sizeof reply), "CMDFAILED") << c.name;
    close(fd);
  }
  EXPECT_NE(harness.log().find("unknown cmd."), std::string::npos);
  EXPECT_NE(harness.log().find("read start param failed."), std::string::npos);
  EXPECT_NE(harness.log().find("error start tavrinmirror, exit process."), std::string::npos);

  // Half a header and a hang-up: a failure for that connection only.
  int fd = test::connectLoopback(port, 3s);
  test::sendAll(fd, "\x01\x00\x00", 3);
  close(fd);
  EXPECT_EQ(DaemonHarness::command(port, DAEMON_CMD_PING), "CMDSUCCES");

  // A connection that never sends gives way to the next one.
  int idle = test::connectLoopback(port, 3s);
  ASSERT_GE(idle, 0);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(DaemonHarness::command(port, DAEMON_CMD_PING), "CMDSUCCES");
  char byte;
  EXPECT_FALSE(test::recvExact(idle, &byte, 1, 3s));
  close(idle);
}

TEST_F(DaemonTest, StopWithNothingRunningSucceeds) {
  if (findProgramProcess("tavrinmirror") || findProgramProcess("tavrininput"))
    GTEST_SKIP() << "a capture server or input daemon of someone else runs on this machine";
  ASSERT_GT(startServing(), 0);
  EXPECT_EQ(DaemonHarness::command(port, DAEMON_CMD_STOP_MIRROR), "CMDSUCCES");
  EXPECT_EQ(DaemonHarness::command(port, DAEMON_CMD_STOP_INPUT), "CMDSUCCES");
}

TEST_F(DaemonTest, StartsAndStopsThePhonePrograms) {
  harness.installStandIn("tavrinmirror");
  harness.installStandIn("tavrininput");
  // Processes that only mention the program, started first so /proc lists
  // them ahead of the real one.
  test::writeFile(harness.phoneDir() + "/tavrinmirror.sh", "sleep 20\n");
  test::ChildProcess mention, script;
  ASSERT_TRUE(mention.start({"/bin/sh", "-c", "sleep 20; : tavrinmirror"}));
  ASSERT_TRUE(script.start({"/bin/sh", harness.phoneDir() + "/tavrinmirror.sh"}));
  ASSERT_GT(startServing(), 0);

  EXPECT_EQ(DaemonHarness::command(port, DAEMON_CMD_START_MIRROR, test::mirrorData(-1, -1, 4000000)),
            "CMDSUCCES");
  EXPECT_EQ(harness.standInArgs("tavrinmirror"), "--s -1x-1 --b 4000000");
  EXPECT_EQ(DaemonHarness::command(port, DAEMON_CMD_START_INPUT, test::inputData(12347)), "CMDSUCCES");
  EXPECT_EQ(harness.standInArgs("tavrininput"), "12347");
  pid_t mirror = harness.standInPid("tavrinmirror");
  pid_t input = harness.standInPid("tavrininput");
  ASSERT_GT(mirror, 0);
  ASSERT_GT(input, 0);

  for (auto [command, pid] : {std::pair{DAEMON_CMD_STOP_MIRROR, mirror}, std::pair{DAEMON_CMD_STOP_INPUT, input}}) {
    EXPECT_EQ(DaemonHarness::command(port, command), "CMDSUCCES");
    // Ended, and reaped by the daemon.
    for (int i = 0; i < 300 && access(("/proc/" + std::to_string(pid)).c_str(), F_OK) == 0; ++i)
      std::this_thread::sleep_for(10ms);
    EXPECT_NE(access(("/proc/" + std::to_string(pid)).c_str(), F_OK), 0) << pid;
    EXPECT_NE(harness.log().find("kill process: " + std::to_string(pid)), std::string::npos);
  }
  EXPECT_TRUE(mention.running());
  EXPECT_TRUE(script.running());
  std::string log = harness.log();
  EXPECT_NE(log.find("mirror start param: -1 -1 4000000"), std::string::npos);
  EXPECT_NE(log.find("process end: " + std::to_string(mirror)), std::string::npos);
}

TEST_F(DaemonTest, StopSignalsEndItWithZero) {
  struct Case {
    int signal;
    const char* line;
  } cases[] = {{SIGTERM, "Get SIGTERM."}, {SIGINT, "Get SIGINT."}};
  for (const auto& c : cases) {
    pid_t daemon = startServing();
    ASSERT_GT(daemon, 0);
    kill(daemon, c.signal);
    EXPECT_EQ(test::Subreaper::waitExit(daemon, 5s), 0) << c.line;
    EXPECT_NE(harness.log().find(c.line), std::string::npos);
    EXPECT_FALSE(test::isListening(port));
  }
}

TEST_F(DaemonTest, RejectsABadStartWithoutAnnouncingIt) {
  const std::string program = std::string(TAVRIN_BIN_DIR) + "/tavrindaemon";
  struct Case {
    std::vector<std::string> args;
    std::map<std::string, std::string> env;
    std::string message;
  } cases[] = {
      {{}, {}, "usage: " + program + " tcp_port"},
      {{"9191", "extra"}, {}, "usage: " + program + " tcp_port"},
      {{"0"}, {}, "error tcp port"},
      {{"-9191"}, {}, "error tcp port"},
      {{"port"}, {}, "error tcp port"},
      {{"70000"}, {}, "error tcp port"},
      {{std::to_string(port)}, {{"TAVRIN_PHONE_DIR", "/proc/no-such-dir"}}, "can't make phone directory /proc/no-such-dir"},
  };
  for (const auto& c : cases) {
    auto started = harness.start(c.args, c.env);
    EXPECT_EQ(started.status, 255) << c.message;
    EXPECT_EQ(started.output, c.message + "\n");
    EXPECT_EQ(started.detached, 0) << c.message;
  }
}

}  // namespace
}  // namespace tavrin
