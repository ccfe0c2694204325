#pragma once

#include <string>

namespace tavrin {

// The daemon's one argument, the TCP port. `port` is 0 when the command line
// is wrong; `error` is then the message to show.
struct PortArgument {
  int port = 0;
  std::string error;
};
PortArgument parsePortArgument(int argc, const char* const* argv);

// The whole program: check the command line and the phone directory, print
// "TOKEN-SUCCESS", detach from the starting shell, hold the lock file, serve
// commands until SIGINT or SIGTERM. Returns the exit code when it ends by
// itself; the starting process and the intermediate one exit 0 from inside.
int runDaemon(int argc, const char* const* argv);

}  // namespace tavrin
