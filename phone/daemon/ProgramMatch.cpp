#include "phone/daemon/ProgramMatch.h"

#include <dirent.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <memory>

namespace tavrin {

namespace {

std::string lastComponent(const std::string& word) {
  size_t slash = word.rfind('/');
  return slash == std::string::npos ? word : word.substr(slash + 1);
}

bool isShell(const std::string& program) {
  static const char* const shells[] = {"sh", "bash", "dash", "ash", "mksh", "ksh", "zsh"};
  for (const char* shell : shells)
    if (program == shell) return true;
  return false;
}

}  // namespace

bool commandLineRunsProgram(const std::string& commandLine, const std::string& name) {
  if (name.empty()) return false;
  size_t end = commandLine.find('\0');
  std::string first = commandLine.substr(0, end);
  std::string program = lastComponent(first);
  if (program == name) return true;
  if (!isShell(program) || end == std::string::npos) return false;
  size_t secondEnd = commandLine.find('\0', end + 1);
  std::string second = commandLine.substr(end + 1, secondEnd == std::string::npos ? std::string::npos
                                                                                    : secondEnd - end - 1);
  return lastComponent(second) == name;
}

pid_t findProgramProcess(const std::string& name) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir("/proc"), closedir);
  if (!dir) return 0;
  while (dirent* entry = readdir(dir.get())) {
    const char* id = entry->d_name;
    bool numeric = *id != '\0';
    for (const char* p = id; *p; ++p) numeric = numeric && std::isdigit(static_cast<unsigned char>(*p));
    if (!numeric) continue;
    std::ifstream in(std::string("/proc/") + id + "/cmdline", std::ios::binary);
    std::string commandLine((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (commandLineRunsProgram(commandLine, name)) return pid_t(std::atol(id));
  }
  return 0;
}

}  // namespace tavrin
