#include "phone/daemon/DaemonStartup.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <system_error>
#include <thread>

#include "common/DecimalPrefix.h"
#include "phone/daemon/ControlCenter.h"
#include "phone/daemon/DaemonLog.h"
#include "phone/daemon/PhonePrograms.h"
#include "platform/Log.h"
#include "platform/PhoneDir.h"

namespace tavrin {

namespace {

constexpr const char* LOCK_FILE = "tavrindaemon.lock";

// A failure before the daemon has detached: the starter still has a terminal.
int failStart(const std::string& message) {
  logLine(DAEMON_LOG_TAG, "%s", message.c_str());
  fprintf(stderr, "%s\n", message.c_str());
  return -1;
}

[[noreturn]] void failDetach(const char* message) {
  logLine(DAEMON_LOG_TAG, "%s", message);
  fprintf(stderr, "%s\n", message);
  exit(-1);
}

// Two forks and a new session, so the adb shell command that started us ends
// while the daemon keeps running; then standard streams on /dev/null.
void detach() {
  umask(0);
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) != 0) failDetach("getrlimit failed");
  pid_t pid = fork();
  if (pid < 0) failDetach("can't fork");
  if (pid > 0) exit(0);
  setsid();
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  if (sigaction(SIGHUP, &ignore, nullptr) != 0) failDetach("can't ignore SIGHUP");
  pid = fork();
  if (pid < 0) failDetach("can't fork 2");
  if (pid > 0) exit(0);
  if (close_range(0, ~0U, 0) != 0) {
    rlim_t limit = files.rlim_max == RLIM_INFINITY ? 65536 : files.rlim_max;
    for (rlim_t fd = 0; fd < limit; ++fd) close(int(fd));
  }
  int null = open("/dev/null", O_RDWR);
  if (null >= 0) {
    dup2(null, 1);
    dup2(null, 2);
  }
}

}  // namespace

PortArgument parsePortArgument(int argc, const char* const* argv) {
  PortArgument result;
  if (argc != 2) {
    result.error = std::string("usage: ") + (argc > 0 && argv[0] ? argv[0] : "tavrindaemon") + " tcp_port";
    return result;
  }
  int32_t port = parseDecimalPrefix(argv[1]);
  if (port <= 0 || port > 65535) {
    result.error = "error tcp port";
    return result;
  }
  result.port = port;
  return result;
}

int runDaemon(int argc, const char* const* argv) {
  // Everything that can fail at once is checked while the starter still
  // listens, so it never sees "TOKEN-SUCCESS" from a daemon that cannot run.
  PortArgument argument = parsePortArgument(argc, argv);
  if (argument.port == 0) return failStart(argument.error);
  umask(0);
  if (!ensurePhoneDir()) return failStart("can't make phone directory " + phoneDir());
  const std::string lockPath = phonePath(LOCK_FILE);
  int probe = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (probe < 0) return failStart("can't open lock file " + lockPath);
  close(probe);

  // Flushed before the first fork, or each copy would print it again.
  fputs("TOKEN-SUCCESS\n", stdout);
  fflush(stdout);
  detach();

  // Held for the life of the process. Close-on-exec: a started program must
  // not inherit the lock and keep it after the daemon is gone.
  int lock = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (lock < 0) {
    logLine(DAEMON_LOG_TAG, "can't open lock file %s", lockPath.c_str());
    return -1;
  }
  if (flock(lock, LOCK_EX | LOCK_NB) != 0) {
    logLine(DAEMON_LOG_TAG, "there is already an instance running.");
    return -1;
  }

  static PhonePrograms programs;
  static ControlCenter center(argument.port, programs);

  // SIGINT and SIGTERM are taken by one thread that may log and clean up,
  // which a signal handler may not.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  try {
    std::thread([stopSignals] {
      int signal = 0;
      while (sigwait(&stopSignals, &signal) != 0) {
      }
      logLine(DAEMON_LOG_TAG, signal == SIGINT ? "Get SIGINT." : "Get SIGTERM.");
      center.stop();
      _exit(0);
    }).detach();
  } catch (const std::system_error&) {
    logLine(DAEMON_LOG_TAG, "Control init failed.");
    return -1;
  }

  if (!center.init()) {
    logLine(DAEMON_LOG_TAG, "Control init failed.");
    return -1;
  }
  logLine(DAEMON_LOG_TAG, "Controler process...");
  return center.run() ? 0 : -1;
}

}  // namespace tavrin
