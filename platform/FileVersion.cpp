#include "platform/FileVersion.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace tavrin {

namespace {

constexpr char MARKER[] = "TAVRIN-FILE-VERSION:";
constexpr size_t MARKER_LEN = sizeof MARKER - 1;

std::optional<FileVersionNumbers> parseNumbers(const char* p, const char* end) {
  FileVersionNumbers v{};
  for (int i = 0; i < 4; ++i) {
    if (p >= end || *p < '0' || *p > '9') return std::nullopt;
    uint32_t n = 0;
    while (p < end && *p >= '0' && *p <= '9') {
      n = n * 10 + uint32_t(*p++ - '0');
      if (n > 65535) return std::nullopt;
    }
    v[i] = uint16_t(n);
    if (i < 3) {
      if (p >= end || *p != '.') return std::nullopt;
      ++p;
    }
  }
  return v;
}

}  // namespace

std::optional<FileVersionNumbers> fileVersion(const std::string& path) {
  // Programs are a few megabytes: read whole, then look for a well-formed marker.
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const char* p = data.data();
  const char* end = p + data.size();
  while (p && p + MARKER_LEN <= end) {
    p = static_cast<const char*>(memmem(p, size_t(end - p), MARKER, MARKER_LEN));
    if (!p) break;
    if (auto v = parseNumbers(p + MARKER_LEN, end)) return v;
    p += MARKER_LEN;
  }
  return std::nullopt;
}

}  // namespace tavrin
