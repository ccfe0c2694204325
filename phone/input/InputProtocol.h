#pragma once

// Frames between the input helper (client) and the input daemon (server).
// Both ends link this; everything here is a pure function over bytes.
//
//   offset 0        4        8                    12          12+n       16+n
//          +--------+--------+--------------------+-----------+----------+
//          | length | magic  | commandId / status | payload n | trailer  |
//          +--------+--------+--------------------+-----------+----------+
//   length = 16 + n; trailer = copy of the word at offset 8; all words are
//   32-bit little-endian. The daemon first greets every connection with the
//   five bytes "hello" (no length, no terminator).

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tavrin {

constexpr uint32_t INPUT_FRAME_MAGIC = 0x11221101;

constexpr uint32_t CMD_TOUCH_DOWN = 0x11223303;
constexpr uint32_t CMD_TOUCH_UP = 0x11223304;
constexpr uint32_t CMD_MULTI_TOUCH = 0x11223305;
constexpr uint32_t CMD_MULTI_TOUCH_UP = 0x11223306;
constexpr uint32_t CMD_KEY_PRESS = 0x11223307;
constexpr uint32_t CMD_KEY_QUERY = 0x11223308;

constexpr uint32_t STATUS_PENDING = 0x11223300;  // never on the wire
constexpr uint32_t STATUS_OK = 0x11223301;
constexpr uint32_t STATUS_FAILED = 0x11223302;

constexpr char INPUT_GREETING[] = "hello";
constexpr size_t INPUT_GREETING_SIZE = 5;

constexpr size_t FRAME_OVERHEAD = 16;          // length, magic, word 8, trailer
constexpr size_t FRAME_PAYLOAD_OFFSET = 12;
constexpr size_t MAX_REQUEST_FRAME = 256;      // the daemon drops longer frames
constexpr size_t MAX_REPLY_PAYLOAD = 256;
constexpr size_t MAX_REPLY_FRAME = MAX_REPLY_PAYLOAD + FRAME_OVERHEAD;  // 272
constexpr size_t CONTACT_RECORD_SIZE = 12;     // id, x, y
constexpr uint32_t MAX_KEY_CODE = 766;         // Linux KEY_/BTN_ codes 0..766

inline uint32_t readWord(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void writeWord(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

// One frame: length, INPUT_FRAME_MAGIC, `word` (command or status), payload,
// `word` again. Returns the frame size, or 0 when it would not fit `capacity`
// (a null payload with size 0 is an empty payload).
size_t buildFrame(uint32_t word, const void* payload, size_t payloadSize, uint8_t* out,
                  size_t capacity);

// Request payloads. Each returns its size; `out` must hold it.
size_t buildPointPayload(int32_t x, int32_t y, uint8_t out[8]);
size_t buildKeyPayload(uint32_t keyCode, uint8_t out[4]);

// A contact as the daemon reads it; the helper declares the same three words unsigned.
struct Contact {
  int32_t id;
  int32_t x;
  int32_t y;
  bool operator==(const Contact&) const = default;
};

// count, then count contact records. 0 when it does not fit `capacity`.
size_t buildContactsPayload(const Contact* contacts, uint32_t count, uint8_t* out,
                            size_t capacity);

// A whole request as the daemon received it (length word included, `length`
// bytes): at least 16 bytes and a trailer equal to the word at offset 8.
bool frameIsWellFormed(const uint8_t* frame, size_t length);

// Payload checks of the commands. Bytes beyond what a command reads are ignored.
struct Point {
  int32_t x;
  int32_t y;
};
std::optional<Point> parsePointPayload(const uint8_t* payload, size_t size);
std::optional<uint32_t> parseKeyPayload(const uint8_t* payload, size_t size);

// The contact records of a multi-touch payload, read in place.
class ContactList {
 public:
  ContactList() = default;
  ContactList(uint32_t count, const uint8_t* records) : count_(count), records_(records) {}
  uint32_t count() const { return count_; }
  Contact operator[](uint32_t i) const;

 private:
  uint32_t count_ = 0;
  const uint8_t* records_ = nullptr;
};

// At least 16 bytes and 4 + 12 * count bytes, computed without wrapping.
std::optional<ContactList> parseContactsPayload(const uint8_t* payload, size_t size);

// Client side: what to do after the 4-byte length word of a reply.
struct ReplyStep {
  enum Kind { ReadRest, DiscardAndFail, Fail } kind;
  uint32_t bytes;  // how many bytes to read (ReadRest) or throw away (DiscardAndFail)
};
ReplyStep replyStepAfterLength(uint32_t length);

struct Reply {
  uint32_t status;
  const uint8_t* payload;  // inside the frame
  uint32_t payloadSize;
};
// A whole reply frame (length word included): at least 16 bytes, trailer =
// status. The command succeeded when the status is STATUS_OK.
std::optional<Reply> parseReply(const uint8_t* frame, size_t length);

}  // namespace tavrin
