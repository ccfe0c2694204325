#pragma once

#include <cstddef>
#include <cstdint>

// The phone daemon's command channel: one command per TCP connection.
//
//   launcher                                        phone daemon
//   +-------------+-------------+-------------+
//   | command u32 | length  u32 | data ...    |  --->   (little-endian words)
//   +-------------+-------------+-------------+
//                                                <---   "CMDSUCCES" | "CMDFAILED"
//
// Data: start-mirror carries width, height, bit rate and 30 (four int32);
// start-input carries the input daemon's port (one int32); the others none.
namespace tavrin {

enum DaemonCommand : uint32_t {
  DAEMON_CMD_PING = 0x10000001,
  DAEMON_CMD_START_MIRROR = 0x10000002,
  DAEMON_CMD_START_INPUT = 0x10000003,
  DAEMON_CMD_STOP_MIRROR = 0x10000004,
  DAEMON_CMD_STOP_INPUT = 0x10000005,
};

constexpr size_t DAEMON_HEADER_SIZE = 8;
constexpr size_t DAEMON_REPLY_SIZE = 9;
constexpr const char* DAEMON_REPLY_SUCCESS = "CMDSUCCES";
constexpr const char* DAEMON_REPLY_FAILURE = "CMDFAILED";
constexpr size_t DAEMON_MIRROR_DATA_SIZE = 16;
constexpr size_t DAEMON_INPUT_DATA_SIZE = 4;
constexpr int32_t DAEMON_MIRROR_FRAME_RATE = 30;  // the fourth start-mirror value

inline void putLittleEndian32(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = uint8_t(value >> (8 * i));
}

inline uint32_t getLittleEndian32(const uint8_t* in) {
  return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

}  // namespace tavrin
