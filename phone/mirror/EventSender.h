#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "phone/mirror/SocketServer.h"

namespace tavrin::mirror {

inline constexpr uint32_t MSG_ROTATION = 1;

// A rotation message of the event channel:
//
//   0        4        8   9
//   +--------+--------+---+
//   | len=9  | type=1 | r |   len and type little-endian, r = rotation 0..3
//   +--------+--------+---+
std::array<uint8_t, 9> rotationMessage(uint8_t rotation);

// The server side of the event channel; one per process (Singleton).
class EventSender {
 public:
  // Opens the event port and waits for the one client.
  bool init(int port);
  bool waitForConnection();
  bool sendRotation(uint8_t rotation);
  void close();

 private:
  std::unique_ptr<ISocketServer> server_;
};

}  // namespace tavrin::mirror
