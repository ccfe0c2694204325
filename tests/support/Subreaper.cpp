#include "tests/support/Subreaper.h"

#include <dirent.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace tavrin::test {

namespace {

// Parent pid and state from /proc/<pid>/stat ("pid (comm) state ppid ...").
bool readStat(pid_t pid, pid_t* ppid, char* state) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line)) return false;
  size_t close = line.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream rest(line.substr(close + 1));
  long parent = 0;
  rest >> *state >> parent;
  *ppid = pid_t(parent);
  return bool(rest);
}

}  // namespace

std::string processName(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

bool processAlive(pid_t pid) {
  pid_t ppid;
  char state = 0;
  return readStat(pid, &ppid, &state) && state != 'Z' && state != 'X';
}

Subreaper::Subreaper() { ok_ = prctl(PR_SET_CHILD_SUBREAPER, 1) == 0; }

Subreaper::~Subreaper() { killChildren(); }

std::vector<pid_t> Subreaper::children(const std::string& name) {
  std::vector<pid_t> found;
  DIR* dir = opendir("/proc");
  if (!dir) return found;
  const pid_t self = getpid();
  while (dirent* entry = readdir(dir)) {
    char* end = nullptr;
    long pid = std::strtol(entry->d_name, &end, 10);
    if (!end || *end || pid <= 0) continue;
    pid_t ppid = 0;
    char state = 0;
    if (!readStat(pid_t(pid), &ppid, &state) || ppid != self) continue;
    if (!name.empty() && processName(pid_t(pid)) != name) continue;
    found.push_back(pid_t(pid));
  }
  closedir(dir);
  std::sort(found.begin(), found.end());
  return found;
}

pid_t Subreaper::waitChild(const std::string& name, std::chrono::milliseconds timeout,
                           const std::vector<pid_t>& except) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    for (pid_t pid : children(name))
      if (std::find(except.begin(), except.end(), pid) == except.end()) return pid;
    if (std::chrono::steady_clock::now() >= deadline) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::optional<int> Subreaper::waitExit(pid_t pid, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (r < 0 && errno != EINTR) return std::nullopt;
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void Subreaper::killChildren(const std::vector<pid_t>& keep) {
  // Ending a child can orphan its own children onto us; go round until quiet.
  for (int round = 0; round < 10; ++round) {
    std::vector<pid_t> list = children();
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](pid_t p) { return std::find(keep.begin(), keep.end(), p) != keep.end(); }),
               list.end());
    if (list.empty()) return;
    for (pid_t pid : list) kill(pid, SIGKILL);
    for (pid_t pid : list) waitExit(pid, std::chrono::seconds(5));
  }
}

}  // namespace tavrin::test
