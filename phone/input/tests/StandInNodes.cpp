#include "phone/input/tests/StandInNodes.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace tavrin::test {

namespace {

void setBits(const std::vector<int>& codes, uint8_t* bits, size_t size) {
  for (int code : codes)
    if (code >= 0 && size_t(code) / 8 < size) bits[code / 8] |= uint8_t(1u << (code % 8));
}

const std::string kCapsSuffix = ".caps";

}  // namespace

void StandInNodes::add(const std::string& path, StandInNode node) {
  nodes_[path] = Node{std::move(node), {}, false};
}

bool StandInNodes::loadDirectory(const std::string& dir) {
  DIR* d = opendir(dir.c_str());
  if (!d) return false;
  while (dirent* entry = readdir(d)) {
    std::string name = entry->d_name;
    if (name.size() <= kCapsSuffix.size() ||
        name.compare(name.size() - kCapsSuffix.size(), kCapsSuffix.size(), kCapsSuffix) != 0)
      continue;
    std::ifstream in(dir + "/" + name);
    StandInNode caps;
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream words(line);
      std::string key;
      words >> key;
      int v;
      if (key == "types") {
        while (words >> v) caps.types.push_back(v);
      } else if (key == "abs") {
        while (words >> v) caps.absAxes.push_back(v);
      } else if (key == "keys") {
        while (words >> v) caps.keys.push_back(v);
      } else if (key == "range") {
        int axis, lo, hi;
        if (words >> axis >> lo >> hi) caps.ranges[axis] = {lo, hi};
      } else if (key == "noquery") {
        caps.queryable = false;
      } else if (key == "nokeyquery") {
        caps.keyQueryFails = true;
      }
    }
    std::string path = dir + "/" + name.substr(0, name.size() - kCapsSuffix.size());
    nodes_[path] = Node{std::move(caps), {}, true};
  }
  closedir(d);
  return true;
}

bool StandInNodes::writeCaps(const std::string& path, const StandInNode& node) {
  std::ofstream out(path + kCapsSuffix);
  auto list = [&](const char* key, const std::vector<int>& codes) {
    out << key;
    for (int c : codes) out << ' ' << c;
    out << '\n';
  };
  list("types", node.types);
  list("abs", node.absAxes);
  list("keys", node.keys);
  for (const auto& [axis, range] : node.ranges)
    out << "range " << axis << ' ' << range.first << ' ' << range.second << '\n';
  if (!node.queryable) out << "noquery\n";
  if (node.keyQueryFails) out << "nokeyquery\n";
  out.close();
  // The node file receives the records; it must exist for the node to open.
  std::ofstream(path, std::ios::trunc).close();
  return bool(out);
}

const std::vector<RecordedEvent>& StandInNodes::events(const std::string& path) const {
  static const std::vector<RecordedEvent> none;
  auto it = nodes_.find(path);
  return it == nodes_.end() ? none : it->second.events;
}

void StandInNodes::clearEvents() {
  for (auto& [path, node] : nodes_) node.events.clear();
}

int StandInNodes::open(const std::string& path) {
  auto it = nodes_.find(path);
  if (it == nodes_.end()) return -1;
  int file = -1;
  if (it->second.recordToFile) {
    file = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (file < 0) return -1;
  }
  int handle = nextHandle_++;
  open_[handle] = Handle{&it->second, file};
  return handle;
}

void StandInNodes::close(int fd) {
  auto it = open_.find(fd);
  if (it == open_.end()) return;
  if (it->second.file >= 0) ::close(it->second.file);
  open_.erase(it);
}

bool StandInNodes::queryBits(int fd, int type, uint8_t* bits, size_t size) {
  auto it = open_.find(fd);
  if (it == open_.end() || !it->second.node->caps.queryable) return false;
  const StandInNode& caps = it->second.node->caps;
  std::memset(bits, 0, size);
  switch (type) {
    case 0:
      setBits(caps.types, bits, size);
      return true;
    case EV_ABS:
      setBits(caps.absAxes, bits, size);
      return true;
    case EV_KEY:
      if (caps.keyQueryFails) return false;
      setBits(caps.keys, bits, size);
      return true;
    default:
      return true;
  }
}

bool StandInNodes::queryAbs(int fd, int axis, input_absinfo& info) {
  auto it = open_.find(fd);
  if (it == open_.end() || !it->second.node->caps.queryable) return false;
  auto range = it->second.node->caps.ranges.find(axis);
  if (range == it->second.node->caps.ranges.end()) return false;
  info = input_absinfo{};
  info.minimum = range->second.first;
  info.maximum = range->second.second;
  return true;
}

void StandInNodes::write(int fd, const input_event& event) {
  auto it = open_.find(fd);
  if (it == open_.end()) return;
  if (keepInMemory_) it->second.node->events.push_back({event.type, event.code, event.value});
  if (it->second.file >= 0) {
    ssize_t ignored = ::write(it->second.file, &event, sizeof event);
    (void)ignored;
  }
}

std::vector<RecordedEvent> readRecordFile(const std::string& path) {
  std::vector<RecordedEvent> events;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return events;
  input_event record;
  while (::read(fd, &record, sizeof record) == ssize_t(sizeof record))
    events.push_back({record.type, record.code, record.value});
  ::close(fd);
  return events;
}

}  // namespace tavrin::test
