#include "phone/input/CommandReply.h"

#include <sys/socket.h>

#include <cstring>

namespace tavrin {

bool CommandReply::Prepare(CommandServer* server, int connection) {
  std::lock_guard guard(lock_);
  if (!server) {
    server_ = nullptr;
    return false;
  }
  server_ = server;
  connection_ = connection;
  status_ = STATUS_PENDING;
  payloadLength_ = 0;
  return true;
}

bool CommandReply::SetResult(uint32_t status, const void* data, uint32_t length) {
  std::lock_guard guard(lock_);
  if (payloadLength_ != 0 || status_ != STATUS_PENDING || length > MAX_REPLY_PAYLOAD) return false;
  status_ = status;
  if (data && length) {
    std::memcpy(payload_, data, length);
    payloadLength_ = length;
  }
  return true;
}

bool CommandReply::Send() {
  std::lock_guard guard(lock_);
  if (connection_ < 0 || !server_ || payloadLength_ + FRAME_OVERHEAD > MAX_REPLY_FRAME)
    return false;
  if (status_ == STATUS_PENDING) status_ = STATUS_FAILED;
  size_t size = buildFrame(status_, payload_, payloadLength_, frame_, sizeof frame_);
  // No SIGPIPE: a peer that has gone is noticed by the next wait, which ends
  // the loop and lets the daemon exit normally.
  return ::send(connection_, frame_, size, MSG_NOSIGNAL) >= 0;
}

uint32_t CommandReply::status() {
  std::lock_guard guard(lock_);
  return status_;
}

}  // namespace tavrin
