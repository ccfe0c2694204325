#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace tavrin::test {

// A listening TCP socket on 127.0.0.1 (port 0: a free one).
class Listener {
 public:
  explicit Listener(int port = 0);
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;
  bool ok() const { return fd_ >= 0; }
  int port() const { return port_; }
  // An accepted connection, or -1 after the time-out. The caller closes it.
  int accept(std::chrono::milliseconds timeout);
  void close();

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A connected socket to 127.0.0.1:port, or -1; retries until timeout.
int connectLoopback(int port, std::chrono::milliseconds timeout);
// Writes all bytes (MSG_NOSIGNAL); false on failure.
bool sendAll(int fd, const void* data, size_t size);
// Reads exactly size bytes within timeout; false otherwise.
bool recvExact(int fd, void* data, size_t size, std::chrono::milliseconds timeout);
// A port that was free on 127.0.0.1 a moment ago.
int freePort();
// True when something listens on 127.0.0.1:port or 0.0.0.0:port (from /proc/net/tcp).
bool isListening(int port);
// Waits until isListening(port), bounded.
bool waitListening(int port, std::chrono::milliseconds timeout);

}  // namespace tavrin::test
