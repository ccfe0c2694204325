#include "client/session/EventListener.h"

#include <algorithm>

namespace tavrin {

namespace {

uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

EventListener::EventListener() { client_.setCallback(this); }

EventListener::~EventListener() = default;

void EventListener::registerListener(int32_t type, IListenerCallback* listener) {
  listeners_.emplace(type, listener);
}

bool EventListener::connect(const char* host, IListenerCallback* player, int port) {
  // Registered before the reader starts, so the first message already finds it.
  if (player) registerListener(MSG_ROTATION, player);
  if (!client_.start(port, host)) return false;
  client_.setReadLowWater(HEADER_SIZE);
  return true;
}

void EventListener::onDataReady() {
  if (!haveHeader_) {
    // Wait for the whole header: reading the length alone and failing on the
    // type would lose the message's boundary.
    if (client_.bytesAvailable() < HEADER_SIZE) return;
    uint8_t header[HEADER_SIZE];
    size_t got = HEADER_SIZE;
    if (!client_.read(header, &got) || got != HEADER_SIZE) return;
    length_ = le32(header);
    type_ = static_cast<int32_t>(le32(header + 4));
    if (length_ < HEADER_SIZE || length_ > MAX_MESSAGE) {
      refused_ = true;
      client_.closeConnection();
      return;
    }
    haveHeader_ = true;
    payload_.assign(length_ - HEADER_SIZE, 0);
    received_ = 0;
  }
  while (received_ < payload_.size()) {
    size_t want = payload_.size() - received_;
    if (!client_.read(payload_.data() + received_, &want) || want == 0) break;
    received_ += want;
  }
  if (received_ < payload_.size()) {
    // The rest of the payload is on its way; sleep until it is all there.
    client_.setReadLowWater(int(std::min<size_t>(payload_.size() - received_, 65536)));
    return;
  }
  haveHeader_ = false;
  client_.setReadLowWater(HEADER_SIZE);
  dispatch();
}

void EventListener::dispatch() {
  if (type_ == 0) return;
  auto range = listeners_.equal_range(type_);
  for (auto it = range.first; it != range.second; ++it)
    if (it->second) it->second->onMessage(type_);
}

}  // namespace tavrin
