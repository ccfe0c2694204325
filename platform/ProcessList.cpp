#include "platform/ProcessList.h"

#include <dirent.h>
#include <signal.h>
#include <strings.h>
#include <unistd.h>

#include <cctype>
#include <memory>

namespace tavrin {

namespace {

std::string baseName(std::string path) {
  // A program file replaced while running reads back with this suffix.
  const std::string deleted = " (deleted)";
  if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
    path.resize(path.size() - deleted.size());
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string readExe(const std::string& link) {
  char buffer[4096];
  ssize_t n = readlink(link.c_str(), buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  return std::string(buffer, size_t(n));
}

}  // namespace

std::optional<std::vector<ProcessEntry>> listProcesses() {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir("/proc"), closedir);
  if (!dir) return std::nullopt;
  std::vector<ProcessEntry> list;
  while (dirent* entry = readdir(dir.get())) {
    const char* name = entry->d_name;
    if (!std::isdigit(static_cast<unsigned char>(name[0]))) continue;
    std::string exe = readExe(std::string("/proc/") + name + "/exe");
    if (exe.empty()) continue;  // kernel threads, or processes we may not inspect
    list.push_back({static_cast<pid_t>(std::atol(name)), baseName(exe)});
  }
  return list;
}

std::string ownProgramName() {
  std::string exe = readExe("/proc/self/exe");
  return exe.empty() ? std::string() : baseName(exe);
}

TerminateResult terminateFirstByName(const std::string& name, pid_t except) {
  auto list = listProcesses();
  if (!list) return TerminateResult::ListUnavailable;
  for (const auto& p : *list) {
    if (p.pid == except || strcasecmp(p.exeName.c_str(), name.c_str()) != 0) continue;
    kill(p.pid, SIGTERM);
    return TerminateResult::Terminated;
  }
  return TerminateResult::NotFound;
}

}  // namespace tavrin
