#include "phone/mirror/EventSender.h"

#include "phone/mirror/TcpServer.h"

namespace tavrin::mirror {

std::array<uint8_t, 9> rotationMessage(uint8_t rotation) {
  return {9, 0, 0, 0, uint8_t(MSG_ROTATION), 0, 0, 0, rotation};
}

bool EventSender::init(int port) {
  server_ = std::make_unique<TcpServer>();
  if (server_->open(port)) return true;
  server_.reset();
  return false;
}

bool EventSender::waitForConnection() { return server_ && server_->waitForClient(); }

bool EventSender::sendRotation(uint8_t rotation) {
  if (!server_) return false;
  auto message = rotationMessage(rotation);
  return server_->send(message.data(), message.size()) == int64_t(message.size());
}

void EventSender::close() {
  if (server_) server_->close();
}

}  // namespace tavrin::mirror
