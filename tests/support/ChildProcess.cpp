#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace tavrin::test {

ChildProcess::~ChildProcess() { kill(); }

ChildProcess::ChildProcess(ChildProcess&& o) noexcept
    : pid_(o.pid_), out_(o.out_), pending_(std::move(o.pending_)), status_(o.status_) {
  o.pid_ = -1;
  o.out_ = -1;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& o) noexcept {
  if (this != &o) {
    kill();
    pid_ = o.pid_;
    out_ = o.out_;
    pending_ = std::move(o.pending_);
    status_ = o.status_;
    o.pid_ = -1;
    o.out_ = -1;
  }
  return *this;
}

bool ChildProcess::start(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env) {
  if (argv.empty()) return false;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  std::vector<std::string> envStrings;
  for (char** e = environ; *e; ++e) {
    std::string entry(*e);
    std::string key = entry.substr(0, entry.find('='));
    if (!env.count(key)) envStrings.push_back(entry);
  }
  for (const auto& [k, v] : env)
    if (!v.empty()) envStrings.push_back(k + "=" + v);
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (auto& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return false;
  }
  if (pid == 0) {
    dup2(fds[1], 1);
    dup2(fds[1], 2);
    int devnull = open("/dev/null", O_RDONLY);
    if (devnull >= 0) dup2(devnull, 0);
    setpgid(0, 0);  // its own group, so stray grandchildren can be ended too
    // A test that dies (an assertion in a library, a signal) takes its
    // children with it instead of leaving them on the fixed ports.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    execve(args[0], args.data(), envp.data());
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
  }
  ::close(fds[1]);
  pid_ = pid;
  out_ = fds[0];
  status_.reset();
  pending_.clear();
  return true;
}

bool ChildProcess::running() {
  if (pid_ < 0) return false;
  return !wait(0ms).has_value();
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    size_t nl = pending_.find('\n');
    if (nl != std::string::npos) {
      std::string line = pending_.substr(0, nl);
      pending_.erase(0, nl + 1);
      return line;
    }
    if (out_ < 0) return std::nullopt;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd p{out_, POLLIN, 0};
    int r = poll(&p, 1, int(left.count()));
    if (r <= 0) continue;
    char buffer[4096];
    ssize_t n = read(out_, buffer, sizeof buffer);
    if (n <= 0) {
      ::close(out_);
      out_ = -1;
      if (!pending_.empty()) {
        std::string rest = std::move(pending_);
        pending_.clear();
        return rest;
      }
      return std::nullopt;
    }
    pending_.append(buffer, size_t(n));
  }
}

std::string ChildProcess::readAll(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  std::string all;
  while (auto line = readLine(std::chrono::duration_cast<std::chrono::milliseconds>(
             deadline - std::chrono::steady_clock::now()))) {
    all += *line + "\n";
  }
  all += pending_;
  pending_.clear();
  return all;
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
  if (status_) return status_;
  if (pid_ < 0) return std::nullopt;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int st = 0;
    pid_t r = waitpid(pid_, &st, WNOHANG);
    if (r == pid_) {
      status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
      return status_;
    }
    if (r < 0 && errno != EINTR) return std::nullopt;
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(5ms);
  }
}

void ChildProcess::signal(int sig) {
  if (pid_ > 0 && !status_) ::kill(pid_, sig);
}

void ChildProcess::kill() {
  if (pid_ > 0) {
    if (!status_) {
      ::kill(-pid_, SIGKILL);
      ::kill(pid_, SIGKILL);
      wait(5s);
    }
    pid_ = -1;
  }
  if (out_ >= 0) ::close(out_);
  out_ = -1;
}

std::optional<int> runCommand(const std::vector<std::string>& argv, std::string* output,
                              std::chrono::milliseconds timeout,
                              const std::map<std::string, std::string>& env) {
  ChildProcess child;
  if (!child.start(argv, env)) return std::nullopt;
  std::string text = child.readAll(timeout);
  if (output) *output = text;
  auto status = child.wait(timeout);
  return status;
}

}  // namespace tavrin::test
