// The daemon as a process (the test build over stand-in nodes), over real TCP.
#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "phone/input/tests/InputTestClient.h"
#include "phone/input/tests/StandInNodes.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestNet.h"

namespace tavrin {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::RecordedEvent;
using test::StandInNode;
using test::StandInNodes;
using Events = std::vector<RecordedEvent>;

const RecordedEvent SYN{EV_SYN, SYN_REPORT, 0};

// The phone: event0 a panel whose X range is empty (rejected), event1 the
// panel (ABS_X 0..0, the range comes from ABS_MT_POSITION_X 0..1079), event2
// and event4 key nodes that both report KEY_BACK, event3 not an event node.
void writePhone(const test::TempDir& dir, bool slots, bool withPanel = true) {
  StandInNode flat;
  flat.types = {EV_SYN, EV_ABS};
  flat.absAxes = {ABS_X, ABS_Y, ABS_MT_POSITION_X, ABS_MT_POSITION_Y, ABS_MT_SLOT};
  flat.ranges = {{ABS_X, {100, 100}}, {ABS_Y, {0, 2339}}};
  StandInNode panel;
  panel.types = {EV_SYN, EV_KEY, EV_ABS};
  panel.absAxes = {ABS_X, ABS_Y, ABS_MT_POSITION_X, ABS_MT_POSITION_Y};
  if (slots) panel.absAxes.push_back(ABS_MT_SLOT);
  panel.keys = {BTN_TOUCH};
  panel.ranges = {{ABS_X, {0, 0}}, {ABS_Y, {0, 0}}, {ABS_MT_POSITION_X, {0, 1079}},
                  {ABS_MT_POSITION_Y, {0, 2339}}};
  StandInNode buttons;
  buttons.types = {EV_SYN, EV_KEY};
  buttons.keys = {KEY_BACK, KEY_VOLUMEUP};
  StandInNode keyboard = buttons;
  keyboard.keys = {KEY_BACK, KEY_POWER};
  StandInNode junk;
  junk.queryable = false;

  StandInNodes::writeCaps(dir.file("event0"), flat);
  if (withPanel) StandInNodes::writeCaps(dir.file("event1"), panel);
  StandInNodes::writeCaps(dir.file("event2"), buttons);
  StandInNodes::writeCaps(dir.file("event3"), junk);
  StandInNodes::writeCaps(dir.file("event4"), keyboard);
}

class Daemon {
 public:
  // Starts the test build with the phone in `inputDir`, on `port` (no
  // argument at all when nullopt).
  bool start(const std::string& inputDir, const std::string& logDir, std::optional<int> onPort) {
    std::vector<std::string> args = {TAVRIN_TEST_BIN_DIR "/input_daemon_testbuild"};
    if (onPort) args.push_back(std::to_string(*onPort));
    port = onPort.value_or(0);
    log = logDir + "/tavrininput.log";
    return child.start(args, {{"TAVRIN_INPUT_DIR", inputDir},
                              {"TAVRIN_LOG_DIR", logDir},
                              {"TAVRIN_INPUT_BACKEND", ""}}) &&
           child.readLine(5s) == "TOKEN-SUCCESS";
  }

  // Waits until the daemon's trace has a line equal to `line`.
  bool traced(const std::string& line, std::chrono::milliseconds timeout = 5s) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
      if (hasTrace(line)) return true;
      std::this_thread::sleep_for(10ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
  }
  bool hasTrace(const std::string& line) {
    return ("\n" + test::readFile(log)).find("\n" + line + "\n") != std::string::npos;
  }

  test::ChildProcess child;
  int port = 0;
  std::string log;
};

class DaemonTest : public ::testing::Test {
 protected:
  void startPhone(bool slots = true) {
    writePhone(phone, slots);
    ASSERT_TRUE(daemon.start(phone.path(), logs.path(), test::freePort()));
    ASSERT_TRUE(client.connect(daemon.port));
    ASSERT_TRUE(client.readGreeting());
  }
  Events recorded(const char* node) { return test::readRecordFile(phone.file(node)); }

  test::TempDir phone, logs;
  Daemon daemon;
  test::InputTestClient client;
};

Bytes withWord(Bytes frame, size_t offset, uint32_t value) {
  writeWord(frame.data() + offset, value);
  return frame;
}

Bytes lengthOnly(uint32_t length, size_t bytesAfter) {
  Bytes frame(4 + bytesAfter, 0);
  writeWord(frame.data(), length);
  return frame;
}

TEST_F(DaemonTest, EveryClientIsGreetedAndServed) {
  startPhone();
  test::InputTestClient second;
  ASSERT_TRUE(second.connect(daemon.port));
  EXPECT_TRUE(second.readGreeting());
  EXPECT_EQ(second.exchange(test::requestFrame(CMD_TOUCH_DOWN, test::pointPayload(10, 20))), STATUS_OK);
  EXPECT_EQ(client.exchange(test::requestFrame(CMD_KEY_QUERY, test::keyPayload(KEY_BACK))), STATUS_OK);
  EXPECT_EQ(recorded("event1").size(), 10u);
}

TEST_F(DaemonTest, AnswersEachFrame) {
  startPhone();
  const Bytes touchDown = test::requestFrame(CMD_TOUCH_DOWN, test::pointPayload(540, 960));
  Bytes keyWithTail = test::keyPayload(KEY_POWER);
  keyWithTail.resize(12, 0xEE);
  struct Case {
    const char* name;
    Bytes frame;
    uint32_t status;
  } const cases[] = {
      {"touch down", touchDown, STATUS_OK},
      {"magic not checked", withWord(touchDown, 4, 0xDEADBEEF), STATUS_OK},
      {"empty payload", test::requestFrame(CMD_TOUCH_DOWN), STATUS_FAILED},
      {"short payload", test::requestFrame(CMD_TOUCH_UP, test::keyPayload(1)), STATUS_FAILED},
      {"unknown command", test::requestFrame(0x11223309, test::keyPayload(1)), STATUS_FAILED},
      {"status as command", test::requestFrame(STATUS_OK, test::keyPayload(1)), STATUS_FAILED},
      {"trailer mismatch", withWord(touchDown, 20, CMD_TOUCH_UP), STATUS_FAILED},
      {"frame after a bad trailer", test::requestFrame(CMD_TOUCH_UP, test::pointPayload(540, 960)), STATUS_OK},
      {"count 2 in 16 bytes",
       withWord(test::requestFrame(CMD_MULTI_TOUCH, Bytes(16, 0)), 12, 2), STATUS_FAILED},
      {"key query 767", test::requestFrame(CMD_KEY_QUERY, test::keyPayload(767)), STATUS_FAILED},
      {"key query of no node", test::requestFrame(CMD_KEY_QUERY, test::keyPayload(KEY_HOME)), STATUS_FAILED},
      {"key query", test::requestFrame(CMD_KEY_QUERY, test::keyPayload(KEY_VOLUMEUP)), STATUS_OK},
      {"key press, tail ignored", test::requestFrame(CMD_KEY_PRESS, keyWithTail), STATUS_OK},
      {"length 15", lengthOnly(15, 11), STATUS_FAILED},
      {"length 4", lengthOnly(4, 0), STATUS_FAILED},
      {"length 0", lengthOnly(0, 0), STATUS_FAILED},
      {"still serving", touchDown, STATUS_OK},
  };
  for (const auto& c : cases) EXPECT_EQ(client.exchange(c.frame), c.status) << c.name;
}

TEST_F(DaemonTest, CountZeroSucceedsWithoutEvents) {
  startPhone();
  EXPECT_EQ(client.exchange(test::requestFrame(CMD_MULTI_TOUCH, Bytes(16, 0))), STATUS_OK);
  EXPECT_EQ(client.exchange(test::requestFrame(CMD_MULTI_TOUCH_UP, Bytes(16, 0))), STATUS_OK);
  EXPECT_TRUE(recorded("event1").empty());
}

TEST_F(DaemonTest, OverlongFrameIsSwallowedWithoutReply) {
  startPhone();
  Bytes overlong = lengthOnly(300, 296);
  ASSERT_TRUE(client.sendBytes(overlong));
  EXPECT_TRUE(client.silentFor(300ms));
  EXPECT_EQ(client.exchange(test::requestFrame(CMD_KEY_QUERY, test::keyPayload(KEY_BACK))), STATUS_OK);
}

TEST_F(DaemonTest, ThreeBytesAloneAreDropped) {
  startPhone();
  ASSERT_TRUE(client.sendBytes(Bytes{0x18, 0, 0}));
  ASSERT_TRUE(daemon.traced("loop read 3"));
  EXPECT_TRUE(client.silentFor(50ms));
  EXPECT_EQ(client.exchange(test::requestFrame(CMD_KEY_QUERY, test::keyPayload(KEY_BACK))), STATUS_OK);
}

TEST_F(DaemonTest, ClientClosingEndsTheDaemon) {
  startPhone();
  EXPECT_EQ(client.exchange(test::requestFrame(CMD_KEY_QUERY, test::keyPayload(KEY_BACK))), STATUS_OK);
  client.close();
  EXPECT_EQ(daemon.child.wait(15s), 0);
  EXPECT_EQ(daemon.child.readAll(1s), "");  // nothing beyond the start line
}

class DaemonEventsTest : public DaemonTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DaemonEventsTest, EventsReachThePanelAndTheLastKeyNode) {
  const bool slots = GetParam();
  startPhone(slots);
  std::vector<Contact> two = {{3, 100, 200}, {8, 1079, 2339}};
  EXPECT_EQ(client.exchange(test::requestFrame(CMD_MULTI_TOUCH, test::contactsPayload(two))), STATUS_OK);
  EXPECT_EQ(client.exchange(test::requestFrame(CMD_MULTI_TOUCH_UP, test::contactsPayload({{3, 0, 0}}))),
            STATUS_OK);
  EXPECT_EQ(client.exchange(test::requestFrame(CMD_KEY_PRESS, test::keyPayload(KEY_BACK))), STATUS_OK);

  Events panel = recorded("event1");
  // Slot protocol: two 10-record groups, then slot 0 lifted (3 records).
  // Anonymous: two 9-record contacts and SYN, then the remaining contact and SYN.
  const size_t expectedCount = slots ? 10 + 10 + 3 : 9 + 9 + 1 + 9 + 1;
  ASSERT_EQ(panel.size(), expectedCount);
  if (slots) {
    EXPECT_EQ(panel[20], (RecordedEvent{EV_ABS, ABS_MT_SLOT, 0}));
    EXPECT_EQ(panel[21], (RecordedEvent{EV_ABS, ABS_MT_TRACKING_ID, -1}));
  } else {
    EXPECT_EQ(panel[19], (RecordedEvent{EV_ABS, ABS_MT_TRACKING_ID, 8}));
    EXPECT_EQ(panel[22], (RecordedEvent{EV_ABS, ABS_MT_POSITION_X, 1079}));
  }
  EXPECT_EQ(panel.back(), SYN);
  EXPECT_TRUE(recorded("event0").empty());
  EXPECT_TRUE(recorded("event2").empty());
  EXPECT_EQ(recorded("event4"),
            (Events{{EV_KEY, KEY_BACK, 1}, SYN, {EV_KEY, KEY_BACK, 0}, SYN}));
}

INSTANTIATE_TEST_SUITE_P(Protocols, DaemonEventsTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Slots" : "Anonymous"; });

// Start-up paths that end the daemon before it serves: each prints only the
// start line and exits 0.
TEST(DaemonStart, EndsCleanlyWhenItCannotServe) {
  enum Setup { NoArgument, PortTaken, NoPanel };
  struct Case {
    const char* name;
    Setup setup;
    const char* trace;  // the daemon's whole trace
  } const cases[] = {
      {"no argument", NoArgument, ""},
      {"port in use", PortTaken, "open socket\n"},
      {"no touch panel", NoPanel, "open socket\nopen socket suc\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir phone, logs;
    writePhone(phone, true, c.setup != NoPanel);
    test::Listener taken;  // 127.0.0.1 on a free port, without address reuse
    ASSERT_TRUE(taken.ok());
    Daemon daemon;
    std::optional<int> port;
    if (c.setup == PortTaken) port = taken.port();
    if (c.setup != NoArgument && !port) port = test::freePort();
    ASSERT_TRUE(daemon.start(phone.path(), logs.path(), port));
    EXPECT_EQ(daemon.child.wait(10s), 0);
    EXPECT_EQ(daemon.child.readAll(1s), "");
    std::string trace = test::readFile(daemon.log);
    // Only the lines up to the failure matter: node probing traces follow
    // "open socket suc" when the panel is looked for.
    if (c.setup == NoPanel) {
      EXPECT_EQ(trace.rfind("hello ", 0), 0u) << trace;
      EXPECT_NE(trace.find(c.trace), std::string::npos) << trace;
      EXPECT_TRUE(daemon.hasTrace("init failed")) << trace;
      EXPECT_EQ(trace.find("accept"), std::string::npos) << trace;
    } else if (c.setup == PortTaken) {
      EXPECT_EQ(trace, "hello " + std::to_string(*port) + "\n" + c.trace);
    } else {
      EXPECT_EQ(trace, c.trace);
    }
  }
}

}  // namespace
}  // namespace tavrin
