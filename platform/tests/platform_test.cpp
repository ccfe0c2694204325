#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/DynamicLibrary.h"
#include "platform/FileVersion.h"
#include "platform/Log.h"
#include "platform/ProcessList.h"
#include "platform/SingleInstance.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

using namespace tavrin;
using namespace tavrin::test;

static const std::string PROBE = std::string(TAVRIN_TEST_BIN_DIR) + "/single_instance_probe";

TEST(SingleInstance, SecondProcessEndsTheFirstAndTakesTheName) {
  TempDir runtime;
  std::map<std::string, std::string> env{{"XDG_RUNTIME_DIR", runtime.path()}};
  ChildProcess first, second;
  ASSERT_TRUE(first.start({PROBE}, env));
  EXPECT_EQ(first.readLine(5s), "sole held");
  ASSERT_TRUE(second.start({PROBE}, env));
  EXPECT_EQ(first.wait(5s), 0);  // ended by the second, with status 0
  EXPECT_EQ(second.readLine(5s), "ended-other held");
  EXPECT_TRUE(second.running());

  // In this process the name is now taken.
  setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  SingleInstanceLock lock(SINGLE_INSTANCE_MUTEX);
  EXPECT_FALSE(lock.tryAcquire());
  second.kill();
  EXPECT_TRUE(lock.waitAcquire(2s));
  unsetenv("XDG_RUNTIME_DIR");
}

TEST(SingleInstance, PrivateRuntimeDirsDoNotMeet) {
  TempDir a, b;
  ChildProcess first, second;
  ASSERT_TRUE(first.start({PROBE}, {{"XDG_RUNTIME_DIR", a.path()}}));
  ASSERT_TRUE(second.start({PROBE}, {{"XDG_RUNTIME_DIR", b.path()}}));
  EXPECT_EQ(first.readLine(5s), "sole held");
  EXPECT_EQ(second.readLine(5s), "sole held");
  EXPECT_TRUE(first.running());
}

TEST(ProcessList, FindsOwnProgramAndSkipsOwnPid) {
  EXPECT_EQ(ownProgramName(), "platform_tests");
  auto list = listProcesses();
  ASSERT_TRUE(list.has_value());
  bool self = false;
  for (const auto& p : *list) self |= p.pid == getpid() && p.exeName == "platform_tests";
  EXPECT_TRUE(self);
  EXPECT_EQ(terminateFirstByName("PLATFORM_TESTS-none", getpid()), TerminateResult::NotFound);
}

TEST(DynamicLibrary, LoadsAndResolves) {
  DynamicLibrary lib;
  ASSERT_TRUE(lib.open(std::string(TAVRIN_TEST_BIN_DIR) + "/platform_test_plugin.so")) << lib.error();
  auto answer = lib.function<int (*)(int)>("tavrinTestAnswer");
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(20), 41);
  EXPECT_EQ(lib.symbol("noSuchSymbol"), nullptr);
  EXPECT_FALSE(lib.error().empty());
  DynamicLibrary missing;
  EXPECT_FALSE(missing.open("/nonexistent/lib.so"));
  EXPECT_FALSE(missing.error().empty());
}

TEST(FileVersion, ReadsTheMarker) {
  auto v = fileVersion(std::string(TAVRIN_TEST_BIN_DIR) + "/platform_test_plugin.so");
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(*v, (FileVersionNumbers{1, 0, 0, 1}));

  TempDir dir;
  struct Case { std::string content; std::optional<FileVersionNumbers> version; } cases[] = {
      {std::string("xxTAVRIN-FILE-VERSION:2.3.4.5\0yy", 32), FileVersionNumbers{2, 3, 4, 5}},
      {"TAVRIN-FILE-VERSION:1.2TAVRIN-FILE-VERSION:7.8.9.10", FileVersionNumbers{7, 8, 9, 10}},
      {"TAVRIN-FILE-VERSION:1.2.3", std::nullopt},
      {"TAVRIN-FILE-VERSION:70000.0.0.0", std::nullopt},
      {"no marker here", std::nullopt},
  };
  for (const auto& c : cases) {
    writeFile(dir.file("f"), c.content);
    EXPECT_EQ(fileVersion(dir.file("f")), c.version) << c.content;
  }
  EXPECT_EQ(fileVersion(dir.file("missing")), std::nullopt);
}

TEST(Log, WritesFilesOnlyWithLogDir) {
  TempDir dir;
  unsetenv("TAVRIN_LOG_DIR");
  logFileLine("TestTag", "hidden %d", 1);
  logLine("TestTag", "syslog only");
  setenv("TAVRIN_LOG_DIR", dir.path().c_str(), 1);
  logLine("TestTag", "first %s", "line");
  logFileLine("TestTag", "second\n");
  unsetenv("TAVRIN_LOG_DIR");
  EXPECT_EQ(readFile(dir.file("TestTag.log")), "first line\nsecond\n");
}
