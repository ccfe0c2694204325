#pragma once

#include <poll.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "phone/input/CommandHandler.h"
#include "phone/input/CommandReply.h"
#include "phone/input/InputBackend.h"
#include "phone/input/InputProtocol.h"

namespace tavrin {

// The daemon's TCP server: accepts connections, cuts their bytes into frames,
// hands each frame to the handlers and answers it. One thread does it all.
class CommandServer {
 public:
  static constexpr int FRAME_WAIT_SECONDS = 10;
  static constexpr int DRAIN_WAIT_SECONDS = 1;

  CommandServer() = default;
  ~CommandServer();  // closes every connection and the listening socket
  CommandServer(const CommandServer&) = delete;
  CommandServer& operator=(const CommandServer&) = delete;

  // IPv4 on 0.0.0.0:port, backlog 1.
  bool OpenSocket(uint16_t port);
  // The touch handler first; without a touch device there is nothing to serve.
  bool InitCmd(InputBackend& backend);
  // Serves frames until a wait fails (a peer closed, or a socket error).
  void Loop();

  // Waits up to `seconds` for bytes on `*connection` (or on any connection
  // when it is -1), accepting and greeting newcomers meanwhile, and receives
  // once, at most `*size` bytes. On success *size and *connection tell what
  // came from where; a time-out succeeds with *size 0 and *timedOut set.
  bool WaitData(uint8_t* buffer, size_t* size, int* connection, bool* timedOut, int seconds);
  // Throws away up to `count` bytes of an over-long frame.
  void Drain(uint32_t count, int connection);
  // Runs one whole frame (`length` bytes, length word included) through the
  // handlers; a malformed frame leaves the reply pending.
  void Dispatch(CommandReply& reply, const uint8_t* frame, uint32_t length);

  // Serves an already connected socket as if it had been accepted (no
  // greeting). The server owns it from now on.
  void adoptConnection(int fd);

 private:
  int listening_ = -1;
  std::vector<int> connections_;  // accept order; never shrinks while serving
  std::vector<std::unique_ptr<CommandHandler>> handlers_;
  std::vector<pollfd> waitSet_;   // reused by every wait
  uint8_t buffer_[MAX_REQUEST_FRAME] = {};
};

}  // namespace tavrin
