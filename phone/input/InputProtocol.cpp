#include "phone/input/InputProtocol.h"

#include <cstring>

namespace tavrin {

size_t buildFrame(uint32_t word, const void* payload, size_t payloadSize, uint8_t* out,
                  size_t capacity) {
  if (payloadSize > capacity || capacity - payloadSize < FRAME_OVERHEAD) return 0;
  if (payloadSize && !payload) return 0;
  size_t length = payloadSize + FRAME_OVERHEAD;
  writeWord(out, uint32_t(length));
  writeWord(out + 4, INPUT_FRAME_MAGIC);
  writeWord(out + 8, word);
  if (payloadSize) std::memcpy(out + FRAME_PAYLOAD_OFFSET, payload, payloadSize);
  writeWord(out + FRAME_PAYLOAD_OFFSET + payloadSize, word);
  return length;
}

size_t buildPointPayload(int32_t x, int32_t y, uint8_t out[8]) {
  writeWord(out, uint32_t(x));
  writeWord(out + 4, uint32_t(y));
  return 8;
}

size_t buildKeyPayload(uint32_t keyCode, uint8_t out[4]) {
  writeWord(out, keyCode);
  return 4;
}

size_t buildContactsPayload(const Contact* contacts, uint32_t count, uint8_t* out,
                            size_t capacity) {
  uint64_t size = 4 + uint64_t(CONTACT_RECORD_SIZE) * count;
  if (size > capacity || (count && !contacts)) return 0;
  writeWord(out, count);
  uint8_t* p = out + 4;
  for (uint32_t i = 0; i < count; ++i, p += CONTACT_RECORD_SIZE) {
    writeWord(p, uint32_t(contacts[i].id));
    writeWord(p + 4, uint32_t(contacts[i].x));
    writeWord(p + 8, uint32_t(contacts[i].y));
  }
  return size_t(size);
}

bool frameIsWellFormed(const uint8_t* frame, size_t length) {
  if (!frame || length < FRAME_OVERHEAD) return false;
  return readWord(frame + length - 4) == readWord(frame + 8);
}

std::optional<Point> parsePointPayload(const uint8_t* payload, size_t size) {
  if (!payload || size < 8) return std::nullopt;
  return Point{int32_t(readWord(payload)), int32_t(readWord(payload + 4))};
}

std::optional<uint32_t> parseKeyPayload(const uint8_t* payload, size_t size) {
  if (!payload || size < 4) return std::nullopt;
  return readWord(payload);
}

Contact ContactList::operator[](uint32_t i) const {
  const uint8_t* p = records_ + size_t(i) * CONTACT_RECORD_SIZE;
  return Contact{int32_t(readWord(p)), int32_t(readWord(p + 4)), int32_t(readWord(p + 8))};
}

std::optional<ContactList> parseContactsPayload(const uint8_t* payload, size_t size) {
  if (!payload || size < 16) return std::nullopt;
  uint32_t count = readWord(payload);
  // 64-bit arithmetic: a count whose 12 * count wraps in 32 bits must not pass.
  if (4 + uint64_t(CONTACT_RECORD_SIZE) * count > size) return std::nullopt;
  return ContactList(count, payload + 4);
}

ReplyStep replyStepAfterLength(uint32_t length) {
  if (length > MAX_REPLY_PAYLOAD) return {ReplyStep::DiscardAndFail, length - 4};
  // Shorter than its own length word: nothing sensible to read.
  if (length < 4) return {ReplyStep::Fail, 0};
  return {ReplyStep::ReadRest, length - 4};
}

std::optional<Reply> parseReply(const uint8_t* frame, size_t length) {
  if (!frameIsWellFormed(frame, length) || length > MAX_REPLY_FRAME) return std::nullopt;
  uint32_t status = readWord(frame + 8);
  return Reply{status, frame + FRAME_PAYLOAD_OFFSET, uint32_t(length - FRAME_OVERHEAD)};
}

}  // namespace tavrin
