// A device opened over USB: the tests' adb server plays the phone's adb side,
// runs the input daemon's test build for the daemon shell (on 12347) and a
// stand-in monkey server for the monkey shell (on 12348). The forwards are
// only recorded: both programs listen on the loopback the helper connects to.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <thread>

#include "adb/tests/AdbTestServer.h"
#include "common/Ports.h"
#include "inputhelper/tests/InputHelperLibrary.h"
#include "inputhelper/tests/StandInPhone.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestNet.h"

namespace tavrin {
namespace {

using namespace std::chrono_literals;
using test::AdbTestServer;
using test::Ref;

const std::string MONKEY_SHELL = "monkey --port 12348\n";
const std::string DAEMON_SHELL = "/data/local/tmp/tavrininput 12347\n";

// The phone's monkey tool in network mode, as far as the helper uses it: one
// client at a time, one command a line, each answered "OK"; "quit" ends it.
class MonkeyStandIn {
 public:
  // Serves on 127.0.0.1:`port` until "quit" or until the shell that started
  // it is closed (which ends the monkey on a phone).
  void serve(AdbTestServer::ShellStream& shell, int port) {
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    if (bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener, 4) != 0) {
      shell.write("monkey: cannot listen\n");
      close(listener);
      return;
    }
    bool quit = false;
    while (!quit && !shell.stopping() && !shell.waitClientClosed(0ms)) {
      pollfd p{listener, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      quit = serveClient(shell, client);
      close(client);
    }
    close(listener);
  }

  std::vector<std::string> lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  // True after "quit".
  bool serveClient(AdbTestServer::ShellStream& shell, int client) {
    std::string pending;
    while (!shell.stopping() && !shell.waitClientClosed(0ms)) {
      pollfd p{client, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char buffer[256];
      ssize_t n = recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) return false;
      pending.append(buffer, size_t(n));
      for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
        std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        {
          std::lock_guard lock(mutex_);
          lines_.push_back(line);
        }
        shell.write("monkey: " + line + "\n");  // a trace on the shell's output
        test::sendAll(client, "OK\n", 3);
        if (line == "quit") return true;
      }
    }
    return false;
  }

  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

class UsbDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library.ok()) << library.error();
    ASSERT_TRUE(server.ok());
    setenv("ANDROID_ADB_SERVER_PORT", std::to_string(server.port()).c_str(), 1);
    setenv("TAVRIN_LOG_DIR", logs.path().c_str(), 1);
    server.setDevices({{"PHONE1", "device"}});
    auto daemon = test::runPrograms([this](const std::string& command) -> std::optional<test::ShellProgram> {
      if (command != DAEMON_SHELL) return std::nullopt;
      return test::ShellProgram{phone.daemonArgv(DAEMON_PORT), phone.daemonEnv()};
    });
    server.setShellHandler([this, daemon](AdbTestServer::ShellStream& shell) {
      if (shell.command() != MONKEY_SHELL) return daemon(shell);
      monkey.serve(shell, MONKEY_PORT);
      return true;
    });
    manager.attach(library.manager());
    ASSERT_TRUE(manager);
    // The lock keeps this build's tests apart; a program outside it on
    // these ports would answer in the stand-ins' place.
    for (int port : {DAEMON_PORT, MONKEY_PORT}) ASSERT_FALSE(test::isListening(port)) << "port " << port << " taken";
  }
  void TearDown() override {
    unsetenv("ANDROID_ADB_SERVER_PORT");
    unsetenv("TAVRIN_LOG_DIR");
  }

  size_t requestsFor(const std::string& payload) const {
    auto all = server.requests();
    return size_t(std::count(all.begin(), all.end(), payload));
  }
  bool debugOutputHas(const std::string& text, std::chrono::milliseconds timeout) const {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
      if (test::readFile(logs.file("tavrininputhelper.log")).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
  }

  test::InputHelperLibrary library;
  test::StandInPhone phone;
  test::TempDir logs;
  MonkeyStandIn monkey;
  AdbTestServer server;  // after what its handlers use, so it stops first
  Ref<IADBManager> manager;
};

using Lines = std::vector<std::string>;

TEST_F(UsbDeviceTest, StartsBothProgramsTypesAndTearsDown) {
  server.addFile("/data/local/tmp/tavrininput");
  Ref<IADBDevice> device;
  ASSERT_EQ(manager->OpenDevice(0, device.put()), S_OK);
  ASSERT_TRUE(device);

  auto forwards = server.forwards();
  ASSERT_EQ(forwards.size(), 2u);
  EXPECT_EQ(forwards[0].serial, "PHONE1");
  EXPECT_EQ(forwards[0].pcPort, MONKEY_PORT);
  EXPECT_EQ(forwards[0].phonePort, MONKEY_PORT);
  EXPECT_EQ(forwards[1].pcPort, DAEMON_PORT);
  EXPECT_EQ(forwards[1].phonePort, DAEMON_PORT);
  EXPECT_EQ(requestsFor("shell:" + MONKEY_SHELL), 1u);
  EXPECT_EQ(requestsFor("shell:ls -l /data/local/tmp/tavrininput"), 1u);
  EXPECT_EQ(requestsFor("shell:" + DAEMON_SHELL), 1u);
  EXPECT_EQ(server.openShells(), 2);
  EXPECT_EQ(monkey.lines(), Lines{"wake"});

  EXPECT_EQ(device->TypeChar(' '), S_OK);
  EXPECT_EQ(device->TypeChar('a'), S_OK);
  EXPECT_EQ(device->PressSpecialKey(9), E_FAIL);
  EXPECT_EQ(device->PressSpecialKey(0), E_FAIL);
  EXPECT_EQ(device->PressSpecialKey(6), S_OK);
  EXPECT_EQ(monkey.lines(), (Lines{"wake", "key down KEYCODE_SPACE", "key up KEYCODE_SPACE", "type a",
                                   "key down KEYCODE_ENTER", "key up KEYCODE_ENTER"}));
  // What the monkey's shell prints reaches the debug output.
  EXPECT_TRUE(debugOutputHas("monkey: type a\n", 5s));

  EXPECT_EQ(device->PressKey(KEY_BACK), S_OK);
  EXPECT_EQ(phone.keys().size(), 4u);

  EXPECT_EQ(device.reset(), 0u);
  EXPECT_EQ(monkey.lines().back(), "quit");
  EXPECT_TRUE(server.waitOpenShells(0, 10s));
}

TEST_F(UsbDeviceTest, MissingDaemonFileStopsTheStart) {
  Ref<IADBDevice> device;
  EXPECT_EQ(manager->OpenDevice(0, device.put()), E_FAIL);
  EXPECT_EQ(device.get(), nullptr);
  EXPECT_EQ(requestsFor("shell:ls -l /data/local/tmp/tavrininput"), 1u);
  EXPECT_EQ(requestsFor("shell:" + DAEMON_SHELL), 0u);
  EXPECT_EQ(server.forwards().size(), 2u);  // the daemon's comes before the file probe
  EXPECT_TRUE(server.waitOpenShells(0, 10s));  // the monkey shell closed with the device
  EXPECT_TRUE(monkey.lines().empty());
}

}  // namespace
}  // namespace tavrin
