#include <gtest/gtest.h>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

using namespace tavrin::test;

static const std::string CLIENT = std::string(TAVRIN_BIN_DIR) + "/TavrinMirrorClient";

// Every refused start ends with -1 (status 255) before any window exists.
TEST(ClientEntry, RefusedStartsExitWithMinusOne) {
  using Args = std::vector<std::string>;
  struct Case { const char* why; Args args; } cases[] = {
      {"8 arguments", {"127.0.0.1", "2539", "12347", "0", "1080", "1920", "0", "720"}},
      {"10 arguments", {"127.0.0.1", "2539", "12347", "0", "1080", "1920", "0", "720", "1280", "1"}},
      {"no arguments", {}},
      {"displayWidth 0", {"127.0.0.1", "2539", "12347", "0", "0", "1920", "0", "720", "1280"}},
      {"displayWidth text", {"127.0.0.1", "2539", "12347", "0", "wide", "1920", "0", "720", "1280"}},
      {"videoWidth 0", {"127.0.0.1", "2539", "12347", "0", "1080", "1920", "0", "0", "1280"}},
      {"empty host", {"", "2539", "12347", "0", "1080", "1920", "0", "720", "1280"}},
      {"16-character host", {"192.168.100.1000", "2539", "12347", "0", "1080", "1920", "0", "720", "1280"}},
  };
  for (const auto& c : cases) {
    TempDir runtime, logs;
    Args argv{CLIENT};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    std::string output;
    auto status = runCommand(argv, &output, 10s,
                             {{"XDG_RUNTIME_DIR", runtime.path()}, {"TAVRIN_LOG_DIR", logs.path()}});
    EXPECT_EQ(status, 255) << c.why;
    EXPECT_EQ(output, "") << c.why;  // the client writes nothing to its console
    EXPECT_FALSE(readFile(logs.file("TavrinMirrorClient.log")).empty()) << c.why;
  }
}
