#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/DaemonProtocol.h"

namespace tavrin {

// How one exchange with the phone daemon ended.
enum class DaemonReply {
  Success,       // "CMDSUCCES"
  Refused,       // any other answer ("CMDFAILED")
  NoConnection,  // nothing accepted the connection
  NoAnswer,      // the command could not be sent, or no answer came within a second
};

// One command on its own connection: the 8-byte header, the data when there
// is any, then up to 9 bytes of answer within a second. Always closed after.
DaemonReply exchangeDaemonCommand(const char* address, int port, uint32_t command, const void* data = nullptr,
                                  size_t size = 0);

// True when the daemon answered "CMDSUCCES".
bool sendDaemonCommand(const char* address, int port, uint32_t command, const void* data = nullptr,
                       size_t size = 0);

// The data of DAEMON_CMD_START_MIRROR: width, height, bit rate and 30.
std::array<uint8_t, DAEMON_MIRROR_DATA_SIZE> mirrorCommandData(int32_t width, int32_t height, int32_t bitRate);
// The data of DAEMON_CMD_START_INPUT.
std::array<uint8_t, DAEMON_INPUT_DATA_SIZE> inputCommandData(int32_t port);

}  // namespace tavrin
