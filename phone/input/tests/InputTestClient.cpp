#include "phone/input/tests/InputTestClient.h"

#include <poll.h>
#include <unistd.h>

#include <cstring>

#include "tests/support/TestNet.h"

namespace tavrin::test {

Bytes requestFrame(uint32_t commandId, const Bytes& payload) {
  Bytes frame(payload.size() + FRAME_OVERHEAD);
  frame.resize(buildFrame(commandId, payload.data(), payload.size(), frame.data(), frame.size()));
  return frame;
}

Bytes pointPayload(int32_t x, int32_t y) {
  Bytes p(8);
  buildPointPayload(x, y, p.data());
  return p;
}

Bytes keyPayload(uint32_t code) {
  Bytes p(4);
  buildKeyPayload(code, p.data());
  return p;
}

Bytes contactsPayload(const std::vector<Contact>& contacts) {
  Bytes p(4 + CONTACT_RECORD_SIZE * contacts.size());
  buildContactsPayload(contacts.data(), uint32_t(contacts.size()), p.data(), p.size());
  return p;
}

InputTestClient::~InputTestClient() { close(); }

bool InputTestClient::connect(int port, std::chrono::milliseconds timeout) {
  close();
  fd_ = connectLoopback(port, timeout);
  return fd_ >= 0;
}

bool InputTestClient::readGreeting(std::chrono::milliseconds timeout) {
  char greeting[INPUT_GREETING_SIZE];
  return recvExact(fd_, greeting, sizeof greeting, timeout) &&
         std::memcmp(greeting, INPUT_GREETING, INPUT_GREETING_SIZE) == 0;
}

bool InputTestClient::sendBytes(const Bytes& bytes) { return sendAll(fd_, bytes.data(), bytes.size()); }

std::optional<uint32_t> InputTestClient::readReply(std::chrono::milliseconds timeout) {
  uint8_t frame[MAX_REPLY_FRAME];
  if (!recvExact(fd_, frame, 4, timeout)) return std::nullopt;
  ReplyStep step = replyStepAfterLength(readWord(frame));
  if (step.kind != ReplyStep::ReadRest || !recvExact(fd_, frame + 4, step.bytes, timeout))
    return std::nullopt;
  auto reply = parseReply(frame, step.bytes + 4);
  if (!reply) return std::nullopt;
  return reply->status;
}

bool InputTestClient::silentFor(std::chrono::milliseconds quiet) {
  pollfd p{fd_, POLLIN, 0};
  return poll(&p, 1, int(quiet.count())) == 0;
}

void InputTestClient::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace tavrin::test
