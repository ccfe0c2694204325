#pragma once

#include <map>
#include <string>
#include <vector>

#include "phone/input/EventNodes.h"

namespace tavrin::test {

// What a stand-in node answers to the capability queries.
struct StandInNode {
  std::vector<int> types;            // EV_ codes
  std::vector<int> absAxes;          // ABS_ codes
  std::vector<int> keys;             // KEY_/BTN_ codes
  std::map<int, std::pair<int, int>> ranges;  // EVIOCGABS (min, max); other axes fail
  bool queryable = true;             // false: every query fails, like a file that is no event node
  bool keyQueryFails = false;        // EVIOCGBIT(EV_KEY) fails
};

struct RecordedEvent {
  uint16_t type;
  uint16_t code;
  int32_t value;
  bool operator==(const RecordedEvent&) const = default;
};

// Kernel event nodes played in memory. Every record written is kept per node
// path, and, for nodes loaded from a directory, also appended as the raw
// platform record to the node file itself, so another process can read it.
class StandInNodes : public EventNodes {
 public:
  void add(const std::string& path, StandInNode node);
  // Every "<name>.caps" file in dir becomes node "<dir>/<name>", recorded to
  // that file. Lines: "types N..", "abs N..", "keys N..", "range AXIS MIN MAX",
  // "noquery", "nokeyquery".
  bool loadDirectory(const std::string& dir);
  static bool writeCaps(const std::string& path, const StandInNode& node);

  const std::vector<RecordedEvent>& events(const std::string& path) const;
  void clearEvents();
  // Stop keeping records in memory (long runs).
  void setKeepInMemory(bool keep) { keepInMemory_ = keep; }
  size_t openCount() const { return open_.size(); }

  int open(const std::string& path) override;
  void close(int fd) override;
  bool queryBits(int fd, int type, uint8_t* bits, size_t size) override;
  bool queryAbs(int fd, int axis, input_absinfo& info) override;
  void write(int fd, const input_event& event) override;

 private:
  struct Node {
    StandInNode caps;
    std::vector<RecordedEvent> events;
    bool recordToFile = false;
  };
  struct Handle {
    Node* node;
    int file;  // the node file, or -1
  };
  std::map<std::string, Node> nodes_;
  std::map<int, Handle> open_;
  int nextHandle_ = 1000;
  bool keepInMemory_ = true;
};

// The raw records of a node file written through StandInNodes.
std::vector<RecordedEvent> readRecordFile(const std::string& path);

}  // namespace tavrin::test
