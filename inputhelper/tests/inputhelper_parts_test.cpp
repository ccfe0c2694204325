// The input helper's parts on their own: monkey command texts, wide serials,
// and the shell runner against the tests' adb server.
#include <gtest/gtest.h>

#include <ctime>
#include <thread>

#include "adb/tests/AdbTestServer.h"
#include "inputhelper/MonkeyCommands.h"
#include "inputhelper/ShellRunner.h"
#include "inputhelper/WideText.h"
#include "tests/support/TempDir.h"

namespace tavrin {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

TEST(MonkeyCommands, TextsSentForKeysAndCharacters) {
  EXPECT_EQ(typeCharCommands(' '), (Lines{"key down KEYCODE_SPACE", "key up KEYCODE_SPACE"}));
  EXPECT_EQ(typeCharCommands('a'), Lines{"type a"});
  EXPECT_EQ(typeCharCommands('%'), Lines{"type %"});
  EXPECT_TRUE(typeCharCommands('\0').empty());

  const char* names[] = {"DPAD_UP",       "DPAD_RIGHT",    "DPAD_DOWN",   "DPAD_LEFT",
                         "KEYCODE_DEL",   "KEYCODE_ENTER", "KEYCODE_TAB", "KEYCODE_SHIFT_LEFT"};
  for (int key = 1; key <= 8; ++key) EXPECT_EQ(specialKeyName(key), names[key - 1]) << key;
  for (int key : {0, 9, -1}) EXPECT_FALSE(specialKeyName(key)) << key;

  struct Case {
    const char* command;
    const char* line;
  } const lines[] = {{"wake", "wake\n"}, {"  type a \t", "type a\n"}, {"type \n", "type\n"}, {"", "\n"}};
  for (const auto& c : lines) EXPECT_EQ(monkeyRequestLine(c.command), c.line) << c.command;

  for (const char* yes : {"OK", "OK\n", "OK:3"}) EXPECT_TRUE(monkeyAccepted(yes)) << yes;
  for (const char* no : {"", "O", "ERROR:unknown command", " OK"}) EXPECT_FALSE(monkeyAccepted(no)) << no;
}

TEST(WideText, SerialsBecomeWideCharacters) {
  struct Case {
    std::string utf8;
    std::wstring wide;
  } const cases[] = {
      {"R58M12345", L"R58M12345"},
      {"caf\xC3\xA9-\xE6\x89\x8B\xE6\x9C\xBA", L"caf\u00E9-\u624B\u673A"},
      {"\xF0\x9F\x93\xB1", L"\U0001F4F1"},
      {"a\xFF" "b", L"a\uFFFDb"},
      {"\xC3", L"\uFFFD"},             // cut sequence
      {"\xC0\xAF", L"\uFFFD\uFFFD"},   // overlong
      {"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(utf8ToWide(c.utf8), c.wide) << c.utf8;

  wchar_t out[8];
  std::fill(std::begin(out), std::end(out), L'x');
  copyTerminated(L"0123456789", out, 4);
  EXPECT_EQ(std::wstring(out), L"012");
  copyTerminated(L"ab", out, 8);
  EXPECT_EQ(std::wstring(out), L"ab");
  copyTerminated(L"zz", out, 0);  // no room: untouched
  EXPECT_EQ(std::wstring(out), L"ab");
}

class ShellRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.ok());
    setenv("ANDROID_ADB_SERVER_PORT", std::to_string(server.port()).c_str(), 1);
    setenv("TAVRIN_LOG_DIR", logs.path().c_str(), 1);
    server.setDevices({{"PHONE1", "device"}});
    startNetworking();
  }
  void TearDown() override {
    unsetenv("ANDROID_ADB_SERVER_PORT");
    unsetenv("TAVRIN_LOG_DIR");
  }
  std::string debugOutput() const { return test::readFile(logs.file("tavrininputhelper.log")); }
  bool debugOutputHas(const std::string& text) const {
    for (int i = 0; i < 250; ++i) {
      if (debugOutput().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }

  test::TempDir logs;
  test::AdbTestServer server;
};

double processCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

TEST_F(ShellRunnerTest, HoldsTheShellAndPassesItsOutputOn) {
  std::atomic<bool> closedByRunner{false};
  server.setShellHandler([&](test::AdbTestServer::ShellStream& shell) {
    if (shell.command() != "serve\n") return false;
    // More than one 255-byte read, then silence while the command runs.
    shell.write(std::string(300, 'x') + "\nready\n");
    closedByRunner = shell.waitClientClosed(20s);
    return true;
  });
  ShellRunner runner;
  ASSERT_TRUE(runner.start("PHONE1", "serve\n", 1));
  EXPECT_TRUE(runner.running());
  EXPECT_TRUE(debugOutputHas("ready"));
  EXPECT_NE(debugOutput().find(std::string(255, 'x')), std::string::npos);
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(server.openShells(), 1);  // the command keeps running
  runner.stop();
  EXPECT_FALSE(runner.running());
  EXPECT_TRUE(server.waitOpenShells(0, 5s));
  EXPECT_TRUE(closedByRunner);
}

TEST_F(ShellRunnerTest, WaitsQuietlyOnceThePhoneClosedTheShell) {
  server.setShellHandler([](test::AdbTestServer::ShellStream& shell) {
    if (shell.command() != "echo done") return false;
    // After the start's one poll, which drops what is already there.
    std::this_thread::sleep_for(200ms);
    shell.write("done\n");
    return true;  // the stream ends
  });
  ShellRunner runner;
  ASSERT_TRUE(runner.start("PHONE1", "echo done", 1));
  ASSERT_TRUE(debugOutputHas("done"));
  ASSERT_TRUE(server.waitOpenShells(0, 5s));
  // A reader polling the ended stream would burn a core here.
  double before = processCpuSeconds();
  std::this_thread::sleep_for(1s);
  EXPECT_LT(processCpuSeconds() - before, 0.1);
  runner.stop();
  EXPECT_FALSE(runner.running());
}

TEST_F(ShellRunnerTest, RefusesToStart) {
  struct Case {
    const char* name;
    const char* serial;
    const char* requiredFile;
    bool networking;
  } const cases[] = {
      {"required file missing", "PHONE1", "/data/local/tmp/tavrininput", true},
      {"unknown phone", "NOSUCH", nullptr, true},
      {"networking stopped", "PHONE1", nullptr, false},
  };
  for (const auto& c : cases) {
    if (!c.networking) stopNetworking();
    ShellRunner runner;
    EXPECT_FALSE(runner.start(c.serial, "serve\n", 1, c.requiredFile)) << c.name;
    EXPECT_FALSE(runner.running()) << c.name;
    startNetworking();
  }
  for (const auto& request : server.requests()) EXPECT_NE(request, "shell:serve\n");
}

}  // namespace
}  // namespace tavrin
