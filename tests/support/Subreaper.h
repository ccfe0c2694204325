#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tavrin::test {

// Makes the test process the reaper of its orphaned descendants, so a program
// that double-forks (a daemon) stays a child of the test: it can be found,
// waited for and ended. On destruction every adopted child still around is
// ended (SIGKILL) and reaped.
class Subreaper {
 public:
  Subreaper();
  ~Subreaper();
  Subreaper(const Subreaper&) = delete;
  Subreaper& operator=(const Subreaper&) = delete;

  bool ok() const { return ok_; }

  // Children of this process whose name (/proc/<pid>/comm) is `name`, or all
  // children when `name` is empty. Zombies included.
  static std::vector<pid_t> children(const std::string& name = {});
  // Waits until a child of that name shows up; 0 on time-out.
  static pid_t waitChild(const std::string& name, std::chrono::milliseconds timeout,
                         const std::vector<pid_t>& except = {});
  // Exit status (0..255, 128 + signal) of an adopted child; nullopt on time-out.
  static std::optional<int> waitExit(pid_t pid, std::chrono::milliseconds timeout);
  // SIGKILL and reap every child except `keep`.
  static void killChildren(const std::vector<pid_t>& keep = {});

 private:
  bool ok_ = false;
};

// The name of a process (/proc/<pid>/comm), empty when it is gone.
std::string processName(pid_t pid);
// True while the process exists and is not a zombie.
bool processAlive(pid_t pid);

}  // namespace tavrin::test
