#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "common/DecimalPrefix.h"
#include "common/ProgramPath.h"
#include "common/RunDelayed.h"
#include "common/Singleton.h"
#include "common/StartParams.h"

using namespace tavrin;

TEST(DecimalPrefix, FollowsTheRule) {
  struct Case { const char* text; int32_t value; } cases[] = {
      {"2539", 2539}, {"  42", 42},      {"-7", -7},          {"+8", 8},
      {"12abc", 12},  {"abc", 0},        {"", 0},             {"- 5", 0},
      {"\t9", 9},     {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1},
      {"1.5", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(parseDecimalPrefix(c.text), c.value) << c.text;
  EXPECT_EQ(parseDecimalPrefix(nullptr), 0);
}

TEST(StartParams, ParsesNineArguments) {
  const char* argv[] = {"client", "127.0.0.1", "2539", "12347", "0", "1080",
                        "1920",   "x",         "720",  "1280"};
  StartParams p;
  ASSERT_EQ(parseStartParams(10, argv, p), ParseResult::Ok);
  EXPECT_STREQ(p.host, "127.0.0.1");
  EXPECT_EQ(p.videoPort, 2539);
  EXPECT_EQ(p.daemonPort, 12347);
  EXPECT_EQ(p.displayWidth, 1080);
  EXPECT_EQ(p.displayHeight, 1920);
  EXPECT_EQ(p.displayRotation, 0);  // non-numeric rotation parses as 0
  EXPECT_EQ(p.videoWidth, 720);
  EXPECT_EQ(p.videoHeight, 1280);
  EXPECT_TRUE(startParamsAcceptable(p));
}

TEST(StartParams, RefusesWrongCountsAndLongHosts) {
  const char* argv[] = {"client", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
  StartParams p;
  EXPECT_EQ(parseStartParams(9, argv, p), ParseResult::WrongArgumentCount);
  EXPECT_EQ(parseStartParams(11, argv, p), ParseResult::WrongArgumentCount);
  const char* longHost[] = {"client", "255.255.255.2555", "0", "0", "0", "1", "1", "0", "1", "1"};
  EXPECT_EQ(parseStartParams(10, longHost, p), ParseResult::HostTooLong);
  const char* fits[] = {"client", "255.255.255.255", "0", "0", "0", "1", "1", "0", "1", "1"};
  EXPECT_EQ(parseStartParams(10, fits, p), ParseResult::Ok);
}

TEST(StartParams, AcceptanceNeedsHostAndWidths) {
  struct Case { const char* host; const char* displayWidth; const char* videoWidth; bool ok; } cases[] = {
      {"10.0.0.2", "1080", "720", true}, {"", "1080", "720", false},
      {"10.0.0.2", "0", "720", false},   {"10.0.0.2", "1080", "0", false},
      {"10.0.0.2", "abc", "720", false}, {"10.0.0.2", "-1", "-1", true},
  };
  for (const auto& c : cases) {
    const char* argv[] = {"client", c.host, "2539", "12347", "0", c.displayWidth, "0", "0", c.videoWidth, "0"};
    StartParams p;
    ASSERT_EQ(parseStartParams(10, argv, p), ParseResult::Ok);
    EXPECT_EQ(startParamsAcceptable(p), c.ok) << c.host << " " << c.displayWidth << " " << c.videoWidth;
  }
}

TEST(ProgramPath, JoinsToTheProgramDirectory) {
  setenv("TAVRIN_HOME", "/opt/tavrin/", 1);
  EXPECT_EQ(programDirectory(), "/opt/tavrin");
  EXPECT_EQ(programPath("Data\\font.ttf"), "/opt/tavrin/Data/font.ttf");
  EXPECT_EQ(programPath("/etc/x"), "/etc/x");
  EXPECT_EQ(programPath("C:\\x\\y"), "C:/x/y");
  EXPECT_EQ(programPath(std::string(300, 'a')), "");
  unsetenv("TAVRIN_HOME");
  EXPECT_EQ(programDirectory(), TAVRIN_TEST_BIN_DIR);
}

TEST(RunDelayed, RunsFunctionThenCompletion) {
  struct State {
    std::mutex m;
    std::condition_variable cv;
    std::vector<int> seen;
  } state;
  auto fn = [](void* a) -> int {
    auto* s = static_cast<State*>(a);
    std::lock_guard lock(s->m);
    s->seen.push_back(1);
    return 41;
  };
  auto done = [](int result, void* a) {
    auto* s = static_cast<State*>(a);
    std::lock_guard lock(s->m);
    s->seen.push_back(result + 1);
    s->cv.notify_all();
  };
  ASSERT_TRUE(runDelayed(fn, &state, done, &state, 20));
  std::unique_lock lock(state.m);
  ASSERT_TRUE(state.cv.wait_for(lock, std::chrono::seconds(5), [&] { return state.seen.size() == 2; }));
  EXPECT_EQ(state.seen, (std::vector<int>{1, 42}));
  EXPECT_FALSE(runDelayed(nullptr, nullptr, nullptr, nullptr, 0));
}

TEST(Singleton, OneInstancePerClass) {
  struct A { int v = 0; };
  Singleton<A>::instance().v = 5;
  EXPECT_EQ(Singleton<A>::instance().v, 5);
  EXPECT_EQ(&Singleton<A>::instance(), &Singleton<A>::instance());
}
