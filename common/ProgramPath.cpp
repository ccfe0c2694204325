#include "common/ProgramPath.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace tavrin {

std::string programDirectory() {
  if (const char* home = std::getenv("TAVRIN_HOME"); home && *home) {
    std::string dir(home);
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
  }
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  std::string exe(buffer, size_t(n));
  size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : exe.substr(0, slash);
}

std::string programPath(const std::string& relative) {
  std::string path = relative;
  std::replace(path.begin(), path.end(), '\\', '/');
  if (path.find(':') == std::string::npos && (path.empty() || path[0] != '/')) {
    std::string dir = programDirectory();
    path = dir == "/" ? "/" + path : dir + "/" + path;
  }
  if (path.size() > MAX_PROGRAM_PATH) return {};
  return path;
}

}  // namespace tavrin
