// The input daemon with stand-in event nodes: the nodes described by the
// "*.caps" files in $TAVRIN_INPUT_DIR, each recording what it is sent into
// its own node file.
#include <sys/prctl.h>

#include <csignal>
#include <cstdlib>

#include "phone/input/InputDaemon.h"
#include "phone/input/tests/StandInNodes.h"

int main(int argc, char** argv) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive the test that started us
  tavrin::test::StandInNodes nodes;
  const char* dir = std::getenv("TAVRIN_INPUT_DIR");
  if (dir && *dir) nodes.loadDirectory(dir);
  nodes.setKeepInMemory(false);
  return tavrin::runInputDaemon(argc, argv, nodes);
}
