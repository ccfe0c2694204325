#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavrin::test {

using namespace std::chrono_literals;

// A child process started by a test, with stdout and stderr on one pipe.
// Killed (SIGKILL) and reaped when this goes away if still running, and by the
// kernel when the thread that started it ends: start children from a thread
// that outlives them.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;

  // `env` entries are added to (or replace in) the test's own environment;
  // an entry with an empty value removes the variable.
  bool start(const std::vector<std::string>& argv,
             const std::map<std::string, std::string>& env = {});

  pid_t pid() const { return pid_; }
  bool running();
  // One line of output without its newline; nullopt on time-out or end.
  std::optional<std::string> readLine(std::chrono::milliseconds timeout);
  // All output until the pipe closes or the time-out passes.
  std::string readAll(std::chrono::milliseconds timeout);
  // Exit status (0..255), 128 + signal for a signal death; nullopt on time-out.
  std::optional<int> wait(std::chrono::milliseconds timeout);
  void signal(int sig);
  void kill();

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string pending_;
  std::optional<int> status_;
};

// Runs a command to its end (bounded by timeout) and returns its status,
// with its output in `output` when given. nullopt when it did not end in time.
std::optional<int> runCommand(const std::vector<std::string>& argv, std::string* output = nullptr,
                              std::chrono::milliseconds timeout = 60s,
                              const std::map<std::string, std::string>& env = {});

}  // namespace tavrin::test
