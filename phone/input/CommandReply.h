#pragma once

#include <cstdint>
#include <mutex>

#include "phone/input/InputProtocol.h"

namespace tavrin {

class CommandServer;

// The reply to one request frame. One record serves the whole loop; Prepare
// readies it for the next frame.
class CommandReply {
 public:
  CommandReply() = default;
  CommandReply(const CommandReply&) = delete;
  CommandReply& operator=(const CommandReply&) = delete;

  // Addresses the reply and sets it pending; false (and cleared) for a null server.
  bool Prepare(CommandServer* server, int connection);
  // Only the first result of a frame counts.
  bool SetResult(uint32_t status, const void* data, uint32_t length);
  // One send of the reply frame; a still-pending status goes out as STATUS_FAILED.
  bool Send();

  uint32_t status();

 private:
  std::mutex lock_;
  CommandServer* server_ = nullptr;  // guarded by lock_
  int connection_ = -1;              // guarded by lock_
  uint8_t payload_[MAX_REPLY_PAYLOAD] = {};
  uint32_t payloadLength_ = 0;       // guarded by lock_
  uint32_t status_ = 0;              // guarded by lock_
  uint8_t frame_[MAX_REPLY_FRAME] = {};
};

}  // namespace tavrin
