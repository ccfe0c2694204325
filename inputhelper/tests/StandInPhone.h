#pragma once

#include <map>
#include <string>
#include <vector>

#include "phone/input/tests/StandInNodes.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace tavrin::test {

// A phone's input side for the input daemon's test build: a touch panel
// (slot protocol, 1080 x 2340) as event1 and a key node with KEY_BACK and
// KEY_VOLUMEUP as event2, each recording what the daemon writes.
class StandInPhone {
 public:
  StandInPhone();
  // The daemon test build serving `port`, with its environment.
  std::vector<std::string> daemonArgv(int port) const;
  std::map<std::string, std::string> daemonEnv() const;
  // Starts the daemon on `port` and waits for its start line.
  bool startDaemon(ChildProcess& daemon, int port) const;

  std::vector<RecordedEvent> panel() const { return readRecordFile(nodes_.file("event1")); }
  std::vector<RecordedEvent> keys() const { return readRecordFile(nodes_.file("event2")); }
  // The daemon's trace lines.
  std::string trace() const { return readFile(logs_.file("tavrininput.log")); }

 private:
  TempDir nodes_;
  TempDir logs_;
};

}  // namespace tavrin::test
