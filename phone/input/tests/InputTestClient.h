#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "phone/input/InputProtocol.h"

namespace tavrin::test {

using Bytes = std::vector<uint8_t>;

// A request frame as a writer builds it.
Bytes requestFrame(uint32_t commandId, const Bytes& payload = {});
Bytes pointPayload(int32_t x, int32_t y);
Bytes keyPayload(uint32_t code);
Bytes contactsPayload(const std::vector<Contact>& contacts);

// One connection to the input daemon, as the input helper holds it.
class InputTestClient {
 public:
  InputTestClient() = default;
  ~InputTestClient();
  InputTestClient(const InputTestClient&) = delete;
  InputTestClient& operator=(const InputTestClient&) = delete;

  // Connects (retrying until timeout) without reading anything.
  bool connect(int port, std::chrono::milliseconds timeout = std::chrono::seconds(5));
  // True when exactly "hello" arrives within the time-out.
  bool readGreeting(std::chrono::milliseconds timeout = std::chrono::seconds(5));
  bool sendBytes(const Bytes& bytes);
  // The status of the next reply; nullopt when none arrives in time or it is malformed.
  std::optional<uint32_t> readReply(std::chrono::milliseconds timeout = std::chrono::seconds(5));
  std::optional<uint32_t> exchange(const Bytes& frame) {
    return sendBytes(frame) ? readReply() : std::nullopt;
  }
  // True when no byte at all arrives within `quiet`.
  bool silentFor(std::chrono::milliseconds quiet);
  void close();
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

}  // namespace tavrin::test
