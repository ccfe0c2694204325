// tavrinctl against the real phone daemon on its default port 9191.
#include <gtest/gtest.h>
#include <signal.h>

#include "phone/daemon/tests/DaemonHarness.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestNet.h"

namespace tavrin {
namespace {

using namespace std::chrono_literals;

struct Run {
  std::optional<int> status;
  std::string output;
};

Run tavrinctl(const std::vector<std::string>& args) {
  std::vector<std::string> argv{std::string(TAVRIN_BIN_DIR) + "/tavrinctl"};
  argv.insert(argv.end(), args.begin(), args.end());
  Run run;
  run.status = test::runCommand(argv, &run.output, 10s);
  return run;
}

TEST(Tavrinctl, DrivesTheRealDaemon) {
  test::DaemonHarness harness;
  ASSERT_TRUE(harness.reaper().ok());
  ASSERT_FALSE(test::isListening(9191)) << "something else serves 9191";
  harness.installStandIn("tavrinmirror");
  harness.installStandIn("tavrininput");
  auto started = harness.start({"9191"});
  ASSERT_EQ(started.output, "TOKEN-SUCCESS\n");
  ASSERT_GT(started.detached, 0);
  ASSERT_TRUE(test::waitListening(9191, 5s));

  // The demo's sequence, on the default port and on an explicit one.
  struct Step {
    std::vector<std::string> args;
    int status;
    std::string output;
  } steps[] = {
      {{"127.0.0.1", "ping"}, 0, "ping: done (127.0.0.1:9191)\n"},
      {{"127.0.0.1:9191", "stop-mirror"}, 0, "stop-mirror: done (127.0.0.1:9191)\n"},
      {{"localhost", "stop-input"}, 0, "stop-input: done (127.0.0.1:9191)\n"},
      {{"127.0.0.1", "start-mirror", "720", "1280", "4000000"}, 0, "start-mirror: done (127.0.0.1:9191)\n"},
      {{"127.0.0.1", "start-input", "12347"}, 0, "start-input: done (127.0.0.1:9191)\n"},
  };
  for (const auto& s : steps) {
    auto run = tavrinctl(s.args);
    EXPECT_EQ(run.status, s.status) << s.args[1];
    EXPECT_EQ(run.output, s.output);
  }
  EXPECT_EQ(harness.standInArgs("tavrinmirror"), "--s 720x1280 --b 4000000");
  EXPECT_EQ(harness.standInArgs("tavrininput"), "12347");

  // Refused: the daemon cannot run a program that is not there.
  unlink((harness.phoneDir() + "/tavrinmirror").c_str());
  auto refused = tavrinctl({"127.0.0.1", "start-mirror", "-1", "-1", "4000000"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.output, "tavrinctl: start-mirror: the phone daemon at 127.0.0.1:9191 answered failure\n");

  kill(started.detached, SIGTERM);
  EXPECT_EQ(test::Subreaper::waitExit(started.detached, 5s), 0);
  auto gone = tavrinctl({"127.0.0.1", "ping"});
  EXPECT_EQ(gone.status, 3);
  EXPECT_EQ(gone.output, "tavrinctl: no phone daemon reachable at 127.0.0.1:9191\n");
}

TEST(Tavrinctl, WrongCommandLine) {
  auto run = tavrinctl({"127.0.0.1", "start-mirror", "720"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.output.rfind("tavrinctl: start-mirror takes WIDTH HEIGHT BITRATE\nusage: tavrinctl", 0), 0u)
      << run.output;
  auto help = tavrinctl({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.output.rfind("usage: tavrinctl HOST[:PORT] COMMAND [ARGS]", 0), 0u);
}

}  // namespace
}  // namespace tavrin
