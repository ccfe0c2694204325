#include "launcher/setup/DaemonClient.h"

#include <cstring>

#include "adb/AdbConnection.h"

namespace tavrin {

namespace {

constexpr int COMMAND_TIMEOUT = 1;  // seconds, each step

bool sendWhole(AdbConnection& connection, const void* data, size_t size) {
  size_t sent = size;
  return connection.send(data, &sent, COMMAND_TIMEOUT) && sent == size;
}

}  // namespace

DaemonReply exchangeDaemonCommand(const char* address, int port, uint32_t command, const void* data,
                                  size_t size) {
  if (port <= 0 || port > 65535) return DaemonReply::NoConnection;
  AdbConnection connection;
  if (!connection.connect(uint16_t(port), address)) return DaemonReply::NoConnection;

  uint8_t header[DAEMON_HEADER_SIZE];
  putLittleEndian32(header, command);
  putLittleEndian32(header + 4, uint32_t(data ? size : 0));
  if (!sendWhole(connection, header, sizeof header)) return DaemonReply::NoAnswer;
  if (data && size != 0 && !sendWhole(connection, data, size)) return DaemonReply::NoAnswer;

  // The word normally comes in one piece; a split one is still read whole.
  char reply[DAEMON_REPLY_SIZE + 1] = {};
  size_t got = 0;
  while (got < DAEMON_REPLY_SIZE) {
    size_t n = DAEMON_REPLY_SIZE - got;
    if (!connection.receive(reply + got, &n, COMMAND_TIMEOUT) || n == 0) break;
    got += n;
  }
  if (got == 0) return DaemonReply::NoAnswer;
  return std::memcmp(reply, DAEMON_REPLY_SUCCESS, DAEMON_REPLY_SIZE) == 0 ? DaemonReply::Success
                                                                          : DaemonReply::Refused;
}

bool sendDaemonCommand(const char* address, int port, uint32_t command, const void* data, size_t size) {
  return exchangeDaemonCommand(address, port, command, data, size) == DaemonReply::Success;
}

std::array<uint8_t, DAEMON_MIRROR_DATA_SIZE> mirrorCommandData(int32_t width, int32_t height, int32_t bitRate) {
  std::array<uint8_t, DAEMON_MIRROR_DATA_SIZE> data{};
  putLittleEndian32(data.data(), uint32_t(width));
  putLittleEndian32(data.data() + 4, uint32_t(height));
  putLittleEndian32(data.data() + 8, uint32_t(bitRate));
  putLittleEndian32(data.data() + 12, uint32_t(DAEMON_MIRROR_FRAME_RATE));
  return data;
}

std::array<uint8_t, DAEMON_INPUT_DATA_SIZE> inputCommandData(int32_t port) {
  std::array<uint8_t, DAEMON_INPUT_DATA_SIZE> data{};
  putLittleEndian32(data.data(), uint32_t(port));
  return data;
}

}  // namespace tavrin
