// libFuzzer target: arbitrary bytes from one peer through the daemon's frame
// cutter and dispatch, into stand-in nodes. The first byte picks the panel's
// protocol; the rest is what the peer sends before it closes.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "phone/input/CommandServer.h"
#include "phone/input/EventNodeBackend.h"
#include "phone/input/tests/StandInNodes.h"

using namespace tavrin;

namespace {

test::StandInNodes makePhone(bool slots) {
  test::StandInNodes nodes;
  test::StandInNode panel;
  panel.types = {EV_SYN, EV_KEY, EV_ABS};
  panel.absAxes = {ABS_X, ABS_Y, ABS_MT_POSITION_X, ABS_MT_POSITION_Y};
  if (slots) panel.absAxes.push_back(ABS_MT_SLOT);
  panel.keys = {BTN_TOUCH};
  panel.ranges = {{ABS_X, {0, 1079}}, {ABS_Y, {0, 2339}}};
  test::StandInNode keys;
  keys.types = {EV_SYN, EV_KEY};
  keys.keys = {KEY_BACK, KEY_HOME, KEY_POWER, 766};
  nodes.add(eventNodePath(0), panel);
  nodes.add(eventNodePath(5), keys);
  nodes.setKeepInMemory(false);
  return nodes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 16384) return 0;  // stays well inside a socket buffer
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return 0;
  int big = 1 << 20;
  // Room for the whole input one way and every reply the other way.
  for (int fd : pair) setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
  if (size > 1 && send(pair[1], data + 1, size - 1, MSG_NOSIGNAL) != ssize_t(size - 1)) {
    close(pair[0]);
    close(pair[1]);
    return 0;
  }
  // The peer has said all it will: every wait ends at once, never on a time-out.
  shutdown(pair[1], SHUT_WR);

  test::StandInNodes nodes = makePhone(data[0] & 1);
  EventNodeBackend backend(nodes);
  {
    CommandServer server;
    server.adoptConnection(pair[0]);  // the server closes it
    if (server.InitCmd(backend)) server.Loop();
  }
  close(pair[1]);
  return 0;
}
