#include <gtest/gtest.h>

#include <vector>

#include "phone/input/InputProtocol.h"

namespace tavrin {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(InputProtocol, TouchDownFrameAndReplyAreByteExact) {
  uint8_t payload[8];
  ASSERT_EQ(buildPointPayload(540, 960, payload), 8u);
  uint8_t frame[MAX_REQUEST_FRAME];
  ASSERT_EQ(buildFrame(CMD_TOUCH_DOWN, payload, sizeof payload, frame, sizeof frame), 24u);
  const Bytes expected = {0x18, 0x00, 0x00, 0x00, 0x01, 0x11, 0x22, 0x11, 0x03, 0x33, 0x22, 0x11,
                          0x1C, 0x02, 0x00, 0x00, 0xC0, 0x03, 0x00, 0x00, 0x03, 0x33, 0x22, 0x11};
  EXPECT_EQ(Bytes(frame, frame + 24), expected);
  EXPECT_TRUE(frameIsWellFormed(frame, 24));

  uint8_t reply[MAX_REPLY_FRAME];
  ASSERT_EQ(buildFrame(STATUS_OK, nullptr, 0, reply, sizeof reply), 16u);
  const Bytes expectedReply = {0x10, 0x00, 0x00, 0x00, 0x01, 0x11, 0x22, 0x11,
                               0x01, 0x33, 0x22, 0x11, 0x01, 0x33, 0x22, 0x11};
  EXPECT_EQ(Bytes(reply, reply + 16), expectedReply);
  auto parsed = parseReply(reply, 16);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->status, STATUS_OK);
  EXPECT_EQ(parsed->payloadSize, 0u);
}

TEST(InputProtocol, BuildFrameRefusesWhatDoesNotFit) {
  uint8_t payload[241] = {};
  uint8_t out[MAX_REQUEST_FRAME];
  EXPECT_EQ(buildFrame(CMD_MULTI_TOUCH, payload, 240, out, sizeof out), 256u);
  EXPECT_EQ(buildFrame(CMD_MULTI_TOUCH, payload, 241, out, sizeof out), 0u);
  EXPECT_EQ(buildFrame(CMD_MULTI_TOUCH, payload, 0, out, 15), 0u);
  EXPECT_EQ(buildFrame(CMD_MULTI_TOUCH, nullptr, 4, out, sizeof out), 0u);
}

TEST(InputProtocol, ContactsPayloadLayout) {
  const Contact contacts[] = {{7, 100, -2}, {-1, 0, 0x7FFFFFFF}};
  uint8_t out[64];
  ASSERT_EQ(buildContactsPayload(contacts, 2, out, sizeof out), 28u);
  const Bytes expected = {2, 0, 0, 0, 7, 0, 0, 0, 100, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF,
                          0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F};
  EXPECT_EQ(Bytes(out, out + 28), expected);
  auto list = parseContactsPayload(out, 28);
  ASSERT_TRUE(list);
  ASSERT_EQ(list->count(), 2u);
  EXPECT_EQ((*list)[0], contacts[0]);
  EXPECT_EQ((*list)[1], contacts[1]);
  // 19 contacts fill a request to 232 bytes of payload; 20 would not fit 240.
  Contact many[20] = {};
  EXPECT_EQ(buildContactsPayload(many, 19, out, 4), 0u);
  uint8_t big[240];
  EXPECT_EQ(buildContactsPayload(many, 19, big, sizeof big), 232u);
  EXPECT_EQ(buildContactsPayload(many, 20, big, sizeof big), 0u);
}

// Payload size checks of every command, by (command, payload size, count).
struct PayloadCase {
  const char* name;
  uint32_t command;
  size_t size;
  uint32_t count;  // first word of the payload
  bool accepted;
};

bool payloadAccepted(const PayloadCase& c) {
  Bytes payload(c.size + 4, 0);
  payload[0] = uint8_t(c.count);
  payload[1] = uint8_t(c.count >> 8);
  payload[2] = uint8_t(c.count >> 16);
  payload[3] = uint8_t(c.count >> 24);
  switch (c.command) {
    case CMD_TOUCH_DOWN:
    case CMD_TOUCH_UP:
      return parsePointPayload(payload.data(), c.size).has_value();
    case CMD_MULTI_TOUCH:
    case CMD_MULTI_TOUCH_UP:
      return parseContactsPayload(payload.data(), c.size).has_value();
    default:
      return parseKeyPayload(payload.data(), c.size).has_value();
  }
}

TEST(InputProtocol, PayloadChecks) {
  const PayloadCase cases[] = {
      {"touch down 8", CMD_TOUCH_DOWN, 8, 0, true},
      {"touch down 7", CMD_TOUCH_DOWN, 7, 0, false},
      {"touch down empty", CMD_TOUCH_DOWN, 0, 0, false},
      {"touch up 8", CMD_TOUCH_UP, 8, 0, true},
      {"touch up 4", CMD_TOUCH_UP, 4, 0, false},
      {"multi count 0 in 16", CMD_MULTI_TOUCH, 16, 0, true},
      {"multi count 0 in 15", CMD_MULTI_TOUCH, 15, 0, false},
      {"multi count 1 in 16", CMD_MULTI_TOUCH, 16, 1, true},
      {"multi count 2 in 16", CMD_MULTI_TOUCH, 16, 2, false},
      {"multi count 2 in 28", CMD_MULTI_TOUCH, 28, 2, true},
      {"multi count 19 in 232", CMD_MULTI_TOUCH, 232, 19, true},
      {"multi count 20 in 240", CMD_MULTI_TOUCH, 240, 20, false},
      // 12 * 0x15555556 is 0x100000008: 8 after a 32-bit wrap.
      {"multi count wrapping to 8", CMD_MULTI_TOUCH, 240, 0x15555556, false},
      {"multi up count wrapping to 4", CMD_MULTI_TOUCH_UP, 16, 0x2AAAAAAB, false},
      {"multi count max", CMD_MULTI_TOUCH_UP, 240, 0xFFFFFFFF, false},
      {"multi up count 1 in 16", CMD_MULTI_TOUCH_UP, 16, 1, true},
      {"key press 4", CMD_KEY_PRESS, 4, 30, true},
      {"key press 3", CMD_KEY_PRESS, 3, 30, false},
      {"key query 4", CMD_KEY_QUERY, 4, 767, true},  // range is the device's business
      {"key query empty", CMD_KEY_QUERY, 0, 0, false},
  };
  for (const auto& c : cases) EXPECT_EQ(payloadAccepted(c), c.accepted) << c.name;
}

TEST(InputProtocol, WellFormedFrames) {
  uint8_t frame[32] = {};
  buildFrame(CMD_KEY_PRESS, "\x1e\0\0\0", 4, frame, sizeof frame);
  EXPECT_TRUE(frameIsWellFormed(frame, 20));
  EXPECT_FALSE(frameIsWellFormed(frame, 15));  // below the minimum
  EXPECT_FALSE(frameIsWellFormed(frame, 24));  // trailer read from the wrong place
  writeWord(frame + 16, CMD_KEY_QUERY);
  EXPECT_FALSE(frameIsWellFormed(frame, 20));
  // The magic word is not part of the check.
  writeWord(frame + 16, CMD_KEY_PRESS);
  writeWord(frame + 4, 0);
  EXPECT_TRUE(frameIsWellFormed(frame, 20));
}

TEST(InputProtocol, ClientReplyReadingRule) {
  struct LengthCase {
    uint32_t length;
    ReplyStep::Kind kind;
    uint32_t bytes;
  };
  const LengthCase cases[] = {
      {16, ReplyStep::ReadRest, 12},     {256, ReplyStep::ReadRest, 252},
      {257, ReplyStep::DiscardAndFail, 253}, {0xFFFFFFFF, ReplyStep::DiscardAndFail, 0xFFFFFFFB},
      {10, ReplyStep::ReadRest, 6},      {4, ReplyStep::ReadRest, 0},
      {3, ReplyStep::Fail, 0},           {0, ReplyStep::Fail, 0},
  };
  for (const auto& c : cases) {
    ReplyStep step = replyStepAfterLength(c.length);
    EXPECT_EQ(step.kind, c.kind) << c.length;
    EXPECT_EQ(step.bytes, c.bytes) << c.length;
  }

  uint8_t reply[MAX_REPLY_FRAME];
  const uint8_t data[] = {1, 2, 3};
  ASSERT_EQ(buildFrame(STATUS_FAILED, data, 3, reply, sizeof reply), 19u);
  auto parsed = parseReply(reply, 19);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->status, STATUS_FAILED);
  EXPECT_EQ(Bytes(parsed->payload, parsed->payload + parsed->payloadSize), Bytes(data, data + 3));
  EXPECT_FALSE(parseReply(reply, 12));  // shorter than a reply
  writeWord(reply + 15, STATUS_OK);     // trailer no longer equals the status
  EXPECT_FALSE(parseReply(reply, 19));
}

}  // namespace
}  // namespace tavrin
