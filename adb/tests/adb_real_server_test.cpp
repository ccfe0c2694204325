// AdbConnection against the real adb server of the adb package, started on a
// free port with a private HOME so it leaves ~/.android alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "adb/AdbConnection.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Subreaper.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestNet.h"

namespace tavrin {
namespace {

using namespace std::chrono_literals;

class RealAdbServer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The server detaches from the adb tool; as its reaper we can end it for sure.
    reaper = std::make_unique<test::Subreaper>();
    home = std::make_unique<test::TempDir>();
    port = test::freePort();
    std::string output;
    auto status = test::runCommand({"adb", "-P", std::to_string(port), "start-server"}, &output, 30s, env());
    started = status && *status == 0 && test::waitListening(port, 10s);
    if (!started) startOutput = output;
  }

  static void TearDownTestSuite() {
    if (port > 0) {
      test::runCommand({"adb", "-P", std::to_string(port), "kill-server"}, nullptr, 30s, env());
      if (pid_t server = test::Subreaper::waitChild("adb", 0ms)) test::Subreaper::waitExit(server, 5s);
    }
    reaper.reset();  // anything left is ended here
    home.reset();
  }

  static std::map<std::string, std::string> env() {
    return {{"HOME", home->path()}, {"ANDROID_ADB_SERVER_PORT", ""}};
  }

  void SetUp() override {
    ASSERT_TRUE(started) << "adb start-server failed: " << startOutput;
    setenv("ANDROID_ADB_SERVER_PORT", std::to_string(port).c_str(), 1);
  }
  void TearDown() override { unsetenv("ANDROID_ADB_SERVER_PORT"); }

  static inline std::unique_ptr<test::Subreaper> reaper;
  static inline std::unique_ptr<test::TempDir> home;
  static inline int port = 0;
  static inline bool started = false;
  static inline std::string startOutput;
};

TEST_F(RealAdbServer, NoDeviceListsNothing) {
  AdbConnection conn;
  std::vector<std::string> serials;
  EXPECT_FALSE(conn.listDevicesConnected(serials));
  EXPECT_TRUE(serials.empty());
  EXPECT_FALSE(conn.isOpen());
}

TEST_F(RealAdbServer, UnknownSerialFails) {
  AdbConnection conn;
  EXPECT_FALSE(conn.addForward("NOSUCH0123", 2539, 2539));
  // The server's "FAIL" and its message are consumed, not mistaken for output.
  char output[64] = {};
  EXPECT_FALSE(conn.runShellLauncher("NOSUCH0123", "echo hi", output, sizeof output));
  EXPECT_STREQ(output, "");
}

}  // namespace
}  // namespace tavrin
