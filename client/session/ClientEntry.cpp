#include "client/session/ClientEntry.h"

#include <signal.h>
#include <unistd.h>

#include "client/session/TavrinPlayer.h"
#include "common/StartParams.h"
#include "platform/Log.h"
#include "platform/SingleInstance.h"

namespace tavrin {

namespace {

constexpr const char* LOG_TAG = "TavrinMirrorClient";

// Another instance ends us with SIGTERM; that counts as a clean end.
void onTerminate(int) { _exit(0); }

}  // namespace

int runClient(int argc, char** argv) {
  struct sigaction action {};
  action.sa_handler = onTerminate;
  sigaction(SIGTERM, &action, nullptr);

  // Held for the life of the process.
  static SingleInstanceLock instance(SINGLE_INSTANCE_MUTEX);
  if (claimSingleInstance(instance) == InstanceClaim::Failed) {
    logFileLine(LOG_TAG, "single instance: could not deal with another instance");
    return -1;
  }

  StartParams params;
  switch (parseStartParams(argc, argv, params)) {
    case ParseResult::Ok:
      break;
    case ParseResult::WrongArgumentCount:
      logFileLine(LOG_TAG, "command line: %d arguments, 9 expected", argc - 1);
      return -1;
    case ParseResult::HostTooLong:
      logFileLine(LOG_TAG, "command line: host longer than 15 characters");
      return -1;
  }

  int exitCode = -1;
  TavrinPlayer player;
  if (!player.init(params)) {
    logFileLine(LOG_TAG, "init: parameters rejected (host, display width or video width)");
    return exitCode;
  }
  // The mirroring session (window, video, event channel, main loop) attaches here.
  logFileLine(LOG_TAG, "session: not available in this build");
  return exitCode;
}

}  // namespace tavrin
