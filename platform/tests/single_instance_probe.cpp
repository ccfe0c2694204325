// Claims the client's instance name as the client does, says so on stdout,
// then waits until it is ended; SIGTERM ends it with status 0.
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/SingleInstance.h"

static void onTerm(int) { _exit(0); }

int main() {
  signal(SIGTERM, onTerm);
  prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive the test that started it
  tavrin::SingleInstanceLock lock(tavrin::SINGLE_INSTANCE_MUTEX);
  auto claim = tavrin::claimSingleInstance(lock);
  if (claim == tavrin::InstanceClaim::Failed) return 255;
  std::printf("%s %s\n", claim == tavrin::InstanceClaim::Sole ? "sole" : "ended-other",
              lock.held() ? "held" : "not-held");
  std::fflush(stdout);
  for (int i = 0; i < 600; ++i) sleep(1);  // bounded: ten minutes at most
  return 3;
}
