#pragma once

// Starts the real tavrindaemon the way the launcher does and talks to it.
// The test process is a child subreaper, so the detached daemon and whatever
// it leaves behind stay its children and are ended with the harness.

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/Subreaper.h"
#include "tests/support/TempDir.h"

namespace tavrin::test {

class DaemonHarness {
 public:
  DaemonHarness();
  ~DaemonHarness();

  struct Start {
    std::string output;          // everything the starter printed
    std::optional<int> status;   // the starter's exit status
    pid_t detached = 0;          // the copy that went on running, 0 if none showed up
  };
  // Runs tavrindaemon with `args` and waits for its starter to end.
  Start start(const std::vector<std::string>& args, const std::map<std::string, std::string>& extraEnv = {});

  // Sends one command and returns the daemon's whole answer (up to its close).
  static std::string command(int port, uint32_t command, const std::string& data = {});

  // Installs a stand-in for a phone program: it records its arguments and
  // pid in the phone directory and runs for up to 20 s.
  void installStandIn(const std::string& name);
  // The stand-in's recorded arguments and pid, once it has written them.
  std::optional<std::string> standInArgs(const std::string& name, int timeoutMs = 3000) const;
  pid_t standInPid(const std::string& name) const;

  std::string log() const;  // the daemon's log file
  const std::string& phoneDir() const { return phoneDir_; }
  Subreaper& reaper() { return reaper_; }

 private:
  Subreaper reaper_;
  TempDir dir_;
  std::string phoneDir_;
  std::string logDir_;
  std::vector<pid_t> known_;
};

std::string mirrorData(int32_t width, int32_t height, int32_t bitRate, int32_t fourth = 30);
std::string inputData(int32_t port);

}  // namespace tavrin::test
