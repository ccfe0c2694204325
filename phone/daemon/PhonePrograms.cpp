#include "phone/daemon/PhonePrograms.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>
#include <thread>

#include "phone/daemon/DaemonLog.h"
#include "phone/daemon/ProgramMatch.h"
#include "platform/Log.h"
#include "platform/PhoneDir.h"

namespace tavrin {

namespace {

constexpr const char* MIRROR_PROGRAM = "tavrinmirror";
constexpr const char* INPUT_PROGRAM = "tavrininput";

void waitForChild(pid_t pid) {
  logLine(DAEMON_LOG_TAG, "wait for process end: %d", int(pid));
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  logLine(DAEMON_LOG_TAG, "process end: %d", int(pid));
}

// Runs `path` with up to four arguments (null-terminated list). True once the
// program runs: a close-on-exec pipe tells the parent whether the exec worked.
// The child only makes calls that are safe after fork in a threaded process.
bool startChild(const char* kind, const char* execFailure, const std::string& path, const char* a1,
                const char* a2 = nullptr, const char* a3 = nullptr, const char* a4 = nullptr) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    logLine(DAEMON_LOG_TAG, "fork error.");
    return false;
  }
  pid_t pid = fork();
  if (pid < 0) {
    logLine(DAEMON_LOG_TAG, "fork error.");
    close(pipeFds[0]);
    close(pipeFds[1]);
    return false;
  }
  if (pid == 0) {
    close(pipeFds[0]);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);  // the daemon keeps its signals for one thread
    execl(path.c_str(), path.c_str(), a1, a2, a3, a4, static_cast<char*>(nullptr));
    int error = errno;
    ssize_t ignored = write(pipeFds[1], &error, sizeof error);
    (void)ignored;
    _exit(-1);
  }
  close(pipeFds[1]);
  int error = 0;
  ssize_t n;
  do {
    n = read(pipeFds[0], &error, sizeof error);
  } while (n < 0 && errno == EINTR);
  close(pipeFds[0]);
  if (n == ssize_t(sizeof error)) {
    logLine(DAEMON_LOG_TAG, "%s", execFailure);
    waitpid(pid, nullptr, 0);
    return false;
  }
  logLine(DAEMON_LOG_TAG, "%s child process started, waiting...", kind);
  try {
    std::thread(waitForChild, pid).detach();
  } catch (const std::system_error&) {
    // The program runs all the same; only its reaping is lost.
  }
  return true;
}

bool stopProgram(const char* name) {
  pid_t pid = findProgramProcess(name);
  if (pid == 0) return true;
  logLine(DAEMON_LOG_TAG, "kill process: %d", int(pid));
  return kill(pid, SIGTERM) == 0;
}

}  // namespace

bool PhonePrograms::startMirror(int32_t width, int32_t height, int32_t bitRate) {
  char size[64];
  char rate[64];
  snprintf(size, sizeof size, "%dx%d", width, height);
  snprintf(rate, sizeof rate, "%d", bitRate);
  logLine(DAEMON_LOG_TAG, "mirror start param: %d %d %d", width, height, bitRate);
  return startChild("mirror", "error start tavrinmirror, exit process.", phonePath(MIRROR_PROGRAM), "--s", size,
                    "--b", rate);
}

bool PhonePrograms::startInput(int32_t port) {
  char text[64];
  snprintf(text, sizeof text, "%d", port);
  return startChild("input", "error start tavrininput, exit process.", phonePath(INPUT_PROGRAM), text);
}

bool PhonePrograms::stopMirror() { return stopProgram(MIRROR_PROGRAM); }

bool PhonePrograms::stopInput() { return stopProgram(INPUT_PROGRAM); }

}  // namespace tavrin
