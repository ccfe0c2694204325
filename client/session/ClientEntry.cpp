#include "client/session/ClientEntry.h"

#include <signal.h>
#include <stdlib.h>
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
  // Tools that look for the client's window by class rely on this name.
  setenv("SDL_VIDEO_X11_WMCLASS", "SDL_app", 1);

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

  // The crash hand-off is installed here.
  int exitCode = -1;
  TavrinPlayer player;
  if (player.init(params)) {
    // The start report is created here (run result 2, or 1 for a bad run).
    bool good = false;
    if (player.window() && player.connectPhone() && player.createView()) {
      // The phone controller's warm-up tap is scheduled here.
      good = player.run();
    }
    // The start report is sent here.
    player.shutdown();
    if (good) exitCode = 0;
  }
  return exitCode;
}

}  // namespace tavrin
