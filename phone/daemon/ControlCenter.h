#pragma once

#include <atomic>

#include "phone/daemon/DaemonCommands.h"

namespace tavrin {

// The daemon's command server: a listening TCP socket on every address, one
// connection at a time, one command per connection, answered with a 9-byte
// word and closed.
class ControlCenter {
 public:
  ControlCenter(int port, IProgramControl& programs) : port_(port), programs_(programs) {}
  ~ControlCenter();
  ControlCenter(const ControlCenter&) = delete;
  ControlCenter& operator=(const ControlCenter&) = delete;

  // Socket, options, bind, listen; false (with its log line) on failure.
  bool init();
  // Serves until stop() or a failed wait; false when the loop ended on an error.
  bool run();
  // Sets the stop flag and closes both sockets; safe from another thread.
  void stop();

 private:
  void work();
  bool readAll(void* data, size_t size);
  bool sendAll(const void* data, size_t size);
  void closeClient();

  std::atomic<bool> stopFlag_{false};
  std::atomic<int> listenSocket_{-1};
  std::atomic<int> clientSocket_{-1};
  const int port_;
  IProgramControl& programs_;
};

}  // namespace tavrin
