#include "phone/mirror/MirrorMain.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/Ports.h"
#include "common/Singleton.h"
#include "phone/mirror/EventSender.h"
#include "phone/mirror/MirrorLog.h"
#include "phone/mirror/MirrorOptions.h"
#include "phone/mirror/TavrinMirrorSession.h"
#include "phone/mirror/TcpServer.h"
#include "platform/PhoneDir.h"

namespace tavrin::mirror {

namespace {

// Held (never closed) until the process ends.
int lockFd = -1;

enum class LockResult { Held, Busy, Failed };

LockResult takeInstanceLock() {
  if (!ensurePhoneDir()) {
    MIRROR_LOG("can not make the phone directory %s", phoneDir().c_str());
    return LockResult::Failed;
  }
  std::string path = phonePath("mirror.lock");
  lockFd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (lockFd < 0) {
    MIRROR_LOG("can not open the lock file %s", path.c_str());
    return LockResult::Failed;
  }
  if (flock(lockFd, LOCK_EX | LOCK_NB) != 0) return LockResult::Busy;
  return LockResult::Held;
}

}  // namespace

bool delimiterEnabled(const char* noAud) { return !(noAud && std::strcmp(noAud, "1") == 0); }

int mirrorMain(int argc, char** argv) {
  std::fputs("TOKEN-SUCCESS\n", stdout);
  std::fflush(stdout);
  signal(SIGPIPE, SIG_IGN);

  switch (takeInstanceLock()) {
    case LockResult::Held: break;
    case LockResult::Busy:
      MIRROR_LOG("there is already an instance running.");
      return -1;
    case LockResult::Failed: return -1;
  }

  MirrorOptions options;
  std::vector<std::string> errors;
  if (!parseCmdParams(std::vector<std::string>(argv + 1, argv + argc), options, errors)) {
    for (const auto& line : errors) MIRROR_LOG("%s", line.c_str());
    return -1;
  }

  TcpServer videoServer;
  if (!videoServer.open(VIDEO_PORT)) {
    MIRROR_LOG("open tcp server failed.");
    return 0;
  }
  MIRROR_LOG("start waiting for client...");
  if (!videoServer.waitForClient()) {
    MIRROR_LOG("connect to client failed.");
    return 0;
  }

  EventSender& events = Singleton<EventSender>::instance();
  if (!events.init(EVENT_PORT)) {
    MIRROR_LOG("eventsender init failed.");
    return 0;
  }
  MIRROR_LOG("eventsender waitforconnection.");
  if (!events.waitForConnection()) return 0;

  MIRROR_LOG("init tavrin mirror...");
  std::unique_ptr<CaptureSource> source = createCaptureSource(phonePath("test-rotation"));
  TavrinMirrorSession session(*source, videoServer, delimiterEnabled(std::getenv("TAVRIN_NO_AUD")));
  if (!session.init(options.requestedWidth, options.requestedHeight, options.bitRate)) {
    MIRROR_LOG("TheTavrinMirror init failed.");
    return 0;
  }
  session.run();
  session.release();
  videoServer.close();
  events.close();
  return 0;
}

}  // namespace tavrin::mirror
