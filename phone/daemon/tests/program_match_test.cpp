#include <gtest/gtest.h>

#include "phone/daemon/DaemonCommands.h"
#include "phone/daemon/ProgramMatch.h"
#include "common/DaemonProtocol.h"

namespace tavrin {
namespace {

using namespace std::string_literals;

TEST(ProgramMatch, MatchesTheProgramNotAMention) {
  struct Case {
    std::string commandLine;
    bool runs;
  } cases[] = {
      {"/data/local/tmp/tavrinmirror\0--s\0-1x-1\0--b\0004000000\0"s, true},
      {"tavrinmirror\0"s, true},
      {"/data/local/tmp/tavrinmirror"s, true},  // no trailing NUL
      {"/bin/sh\0/tmp/phone/tavrinmirror\0--s\0-1x-1\0"s, true},  // a script through its #! line
      {"bash\0tavrinmirror\0"s, true},
      {"vim\0/data/local/tmp/tavrinmirror\0"s, false},
      {"grep\0tavrinmirror\0"s, false},
      {"/bin/sh\0-c\0grep tavrinmirror log\0"s, false},
      {"/bin/sh\0/tmp/tavrinmirror.sh\0"s, false},
      {"/usr/bin/tavrinmirror-old\0"s, false},
      {"python3\0tavrinmirror\0"s, false},  // not a shell
      {"/data/local/tmp/tavrininput\00012347\0"s, false},
      {""s, false},  // kernel threads and zombies
  };
  for (const auto& c : cases) {
    std::string shown = c.commandLine;
    for (char& ch : shown)
      if (ch == '\0') ch = ' ';
    EXPECT_EQ(commandLineRunsProgram(c.commandLine, "tavrinmirror"), c.runs) << shown;
  }
  EXPECT_FALSE(commandLineRunsProgram("sh\0\0"s, ""));
}

struct RecordingPrograms : IProgramControl {
  bool startMirror(int32_t w, int32_t h, int32_t b) override {
    calls.push_back("mirror " + std::to_string(w) + " " + std::to_string(h) + " " + std::to_string(b));
    return true;
  }
  bool startInput(int32_t port) override {
    calls.push_back("input " + std::to_string(port));
    return true;
  }
  bool stopMirror() override {
    calls.push_back("stop mirror");
    return true;
  }
  bool stopInput() override {
    calls.push_back("stop input");
    return false;
  }
  std::vector<std::string> calls;
};

TEST(DaemonCommands, DecodesDataAndRejectsTheRest) {
  // -1, -1, 8000000, 30 in little-endian words.
  const std::string mirrorData = "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x00\x12\x7A\x00\x1E\x00\x00\x00"s;
  const std::string inputData = "\x3B\x30\x00\x00"s;  // 12347
  struct Case {
    uint32_t command;
    std::string data;
    bool ok;
    std::vector<std::string> calls;
  } cases[] = {
      {DAEMON_CMD_PING, "", true, {}},
      {DAEMON_CMD_START_MIRROR, mirrorData, true, {"mirror -1 -1 8000000"}},
      {DAEMON_CMD_START_MIRROR, mirrorData.substr(0, 15), false, {}},
      {DAEMON_CMD_START_INPUT, inputData, true, {"input 12347"}},
      {DAEMON_CMD_START_INPUT, "\x3B\x30"s, false, {}},
      {DAEMON_CMD_STOP_MIRROR, "", true, {"stop mirror"}},
      {DAEMON_CMD_STOP_INPUT, "", false, {"stop input"}},  // the program control's answer counts
      {DAEMON_CMD_STOP_INPUT + 1, "", false, {}},
      {0x10000000, "", false, {}},
      {0, "", false, {}},
  };
  for (const auto& c : cases) {
    RecordingPrograms programs;
    size_t offset = 0;
    auto read = [&](void* out, size_t size) {
      if (c.data.size() - offset < size) return false;
      memcpy(out, c.data.data() + offset, size);
      offset += size;
      return true;
    };
    EXPECT_EQ(handleDaemonCommand(c.command, read, programs), c.ok) << std::hex << c.command;
    EXPECT_EQ(programs.calls, c.calls) << std::hex << c.command;
  }
}

}  // namespace
}  // namespace tavrin
