#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrin::mirror {

// A server that takes one client on one port. Slot order as on the phone.
class ISocketServer {
 public:
  virtual ~ISocketServer() = default;
  virtual bool open(int port) = 0;
  virtual bool waitForClient() = 0;
  // Bytes read, 0 at the end, negative on failure.
  virtual int64_t receive(uint8_t* buffer, size_t length) = 0;
  // Bytes sent (all of them), negative on failure.
  virtual int64_t send(const uint8_t* buffer, size_t length) = 0;
  // Always false here: the server has no asynchronous mode.
  virtual bool isAsync() const = 0;
  virtual void close() = 0;
};

}  // namespace tavrin::mirror
