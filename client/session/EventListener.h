#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <vector>

#include "client/session/IIoCallback.h"
#include "client/session/IListenerCallback.h"
#include "client/session/TcpClient.h"
#include "common/Ports.h"

namespace tavrin {

constexpr int32_t MSG_ROTATION = 1;

// The phone's event channel. Each message, little-endian:
//
//   0       4       8            length
//   +-------+-------+------------+
//   |length | type  |  payload   |   length counts the 8-byte header too
//   +-------+-------+------------+
//
// Messages are handed to the listeners registered for their type, on the
// channel's reader thread. The client never writes on the channel.
class EventListener : public IIoCallback {
 public:
  static constexpr uint32_t HEADER_SIZE = 8;
  // Larger lengths cannot come from the phone; they mean a broken stream.
  static constexpr uint32_t MAX_MESSAGE = 1u << 20;

  EventListener();
  ~EventListener() override;

  // Registers the player for MSG_ROTATION, connects and starts reading.
  bool connect(const char* host, IListenerCallback* player, int port = EVENT_PORT);
  // Only before connect: the table is read by the reader thread afterwards.
  void registerListener(int32_t type, IListenerCallback* listener);

  // The payload of the message being dispatched (reader thread).
  const std::vector<uint8_t>& payload() const { return payload_; }
  // Set once a length below the header size (or absurdly large) arrived; the
  // channel is then closed, since message boundaries are lost.
  bool refused() const { return refused_.load(); }

  void onConnected() override {}
  void onDataReady() override;
  void onStopped() override {}
  void onDisconnected(int) override {}

 private:
  void dispatch();

  std::vector<uint8_t> payload_;
  std::multimap<int32_t, IListenerCallback*> listeners_;
  TcpClient client_;
  bool haveHeader_ = false;
  uint32_t length_ = 0;
  int32_t type_ = 0;
  size_t received_ = 0;
  std::atomic<bool> refused_{false};
};

}  // namespace tavrin
