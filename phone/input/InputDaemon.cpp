#include "phone/input/InputDaemon.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "phone/input/CommandServer.h"
#include "phone/input/EventNodeBackend.h"
#include "phone/input/InputTrace.h"
#include "phone/input/XTestBackend.h"

namespace tavrin {

int runInputDaemon(int argc, char** argv, EventNodes& nodes) {
  // Whoever started us waits for this line, so it must not sit in a buffer.
  std::fputs("TOKEN-SUCCESS\n", stdout);
  std::fflush(stdout);
  if (argc < 2) return 0;

  const uint16_t port = uint16_t(std::strtol(argv[1], nullptr, 10));
  inputTrace("hello %d\n", port);
  CommandServer server;
  if (!server.OpenSocket(port)) return 0;

  const char* choice = std::getenv("TAVRIN_INPUT_BACKEND");
  std::unique_ptr<InputBackend> backend;
  if (choice && std::strcmp(choice, "x11") == 0)
    backend = std::make_unique<XTestBackend>();
  else
    backend = std::make_unique<EventNodeBackend>(nodes);

  if (!server.InitCmd(*backend)) {
    inputTrace("init failed\n");
    return 0;
  }
  inputTrace("init success\n");
  server.Loop();
  return 0;
}

}  // namespace tavrin
