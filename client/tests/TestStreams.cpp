#include "client/tests/TestStreams.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace tavrin::test {

const Bytes PICTURE_END = {0x00, 0x00, 0x00, 0x01, 0x09, 0xF0, 0x00, 0x00, 0x00};

namespace {

struct Kind {
  int width, height, frames;
  std::vector<std::string> args;
};

const std::map<std::string, Kind>& kinds() {
  static const std::map<std::string, Kind> table = {
      {"baseline", {320, 240, 36, {"-profile:v", "baseline", "-preset", "veryfast", "-tune", "zerolatency",
                                   "-threads", "3"}}},
      {"main_b", {320, 240, 36, {"-profile:v", "main", "-bf", "3", "-threads", "1"}}},
      {"high_single", {320, 240, 36, {"-profile:v", "high", "-threads", "1", "-x264-params", "slices=1"}}},
      {"slices4", {320, 240, 36, {"-threads", "1", "-b:v", "400k", "-maxrate", "400k", "-bufsize", "800k",
                                  "-x264-params", "slices=4:nal-hrd=vbr"}}},
      {"all_idr", {320, 240, 24, {"-profile:v", "baseline", "-threads", "1", "-g", "1"}}},
      {"interlaced", {320, 240, 24, {"-threads", "1", "-flags", "+ildct+ilme", "-x264-params", "tff=1"}}},
      {"small_keyint", {320, 240, 30, {"-profile:v", "baseline", "-threads", "1", "-g", "10"}}},
      {"small", {160, 120, 20, {"-profile:v", "main", "-threads", "1"}}},
  };
  return table;
}

int probeFrames(const std::string& path) {
  std::string out;
  auto status = runCommand({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                            "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0", path},
                           &out, 60s);
  if (status != 0) return -1;
  return std::atoi(out.c_str());
}

}  // namespace

const TestStream& testStream(const std::string& name) {
  static TempDir dir;
  static std::map<std::string, std::unique_ptr<TestStream>> made;
  auto found = made.find(name);
  if (found != made.end()) return *found->second;

  auto stream = std::make_unique<TestStream>();
  stream->name = name;
  auto kind = kinds().find(name);
  if (kind != kinds().end()) {
    const Kind& k = kind->second;
    stream->path = dir.file(name + ".h264");
    std::vector<std::string> argv = {
        "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-f", "lavfi", "-i",
        "testsrc2=size=" + std::to_string(k.width) + "x" + std::to_string(k.height) + ":rate=30",
        "-frames:v", std::to_string(k.frames), "-c:v", "libx264"};
    argv.insert(argv.end(), k.args.begin(), k.args.end());
    argv.insert(argv.end(), {"-f", "h264", "-y", stream->path});
    if (runCommand(argv, nullptr, 120s) == 0) {
      std::string data = readFile(stream->path);
      stream->bytes.assign(data.begin(), data.end());
      stream->bytes.insert(stream->bytes.end(), PICTURE_END.begin(), PICTURE_END.end());
      stream->frames = probeFrames(stream->path);
      stream->width = k.width;
      stream->height = k.height;
    }
  }
  return *(made[name] = std::move(stream));
}

std::vector<std::string> allStreamKinds() {
  std::vector<std::string> names;
  for (const auto& [name, kind] : kinds()) names.push_back(name);
  return names;
}

std::vector<Bytes> splitStream(const Bytes& stream, size_t readSize) {
  AccessUnitSplitter splitter;
  std::vector<Bytes> packets;
  AccessUnit unit;
  size_t step = readSize == 0 ? stream.size() : readSize;
  for (size_t at = 0; at < stream.size(); at += step) {
    splitter.append(stream.data() + at, std::min(step, stream.size() - at));
    while (splitter.nextAccessUnit(unit)) packets.emplace_back(unit.data, unit.data + unit.size);
  }
  return packets;
}

std::vector<NalSpan> nalUnits(const Bytes& s) {
  std::vector<NalSpan> units;
  size_t i = 0;
  auto startCodeAt = [&](size_t at) { return at + 2 < s.size() && s[at] == 0 && s[at + 1] == 0 && s[at + 2] == 1; };
  while (i + 2 < s.size() && !startCodeAt(i)) ++i;
  while (i + 2 < s.size()) {
    int codeSize = (i > 0 && s[i - 1] == 0) ? 4 : 3;
    size_t begin = i + 3;
    size_t end = begin;
    while (end + 2 < s.size() && !(s[end] == 0 && s[end + 1] == 0 && s[end + 2] <= 1)) ++end;
    if (end + 2 >= s.size()) end = s.size();
    if (begin < end) units.push_back({begin, end, s[begin] & 31, codeSize});
    i = end;
    while (i + 2 < s.size() && !startCodeAt(i)) ++i;
  }
  return units;
}

int countSlices(const Bytes& packet) {
  int slices = 0;
  for (const auto& unit : nalUnits(packet))
    if (unit.type == 1 || unit.type == 5) ++slices;
  return slices;
}

}  // namespace tavrin::test
