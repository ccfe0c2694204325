#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "phone/input/CommandReply.h"
#include "phone/input/CommandServer.h"
#include "phone/input/KeyDevice.h"
#include "phone/input/TouchCommandHandler.h"
#include "phone/input/TouchDevice.h"
#include "phone/input/tests/InputTestClient.h"
#include "phone/input/tests/StandInNodes.h"
#include "tests/support/TempDir.h"

namespace tavrin {
namespace {

using test::RecordedEvent;
using test::StandInNode;
using test::StandInNodes;
using Events = std::vector<RecordedEvent>;

const RecordedEvent SYN{EV_SYN, SYN_REPORT, 0};
const RecordedEvent MT_SYN{EV_SYN, SYN_MT_REPORT, 0};

StandInNode panel(bool slots) {
  StandInNode node;
  node.types = {EV_SYN, EV_KEY, EV_ABS};
  node.absAxes = {ABS_X, ABS_Y, ABS_MT_POSITION_X, ABS_MT_POSITION_Y, ABS_MT_TRACKING_ID};
  if (slots) node.absAxes.push_back(ABS_MT_SLOT);
  node.keys = {BTN_TOUCH};
  node.ranges = {{ABS_X, {0, 1079}}, {ABS_Y, {0, 2339}}};
  return node;
}

// The ten records of a contact under the slot protocol.
Events slotGroup(int slot, int32_t id, int32_t x, int32_t y) {
  return {{EV_ABS, ABS_MT_SLOT, slot},     {EV_ABS, ABS_MT_TRACKING_ID, id},
          {EV_KEY, BTN_TOUCH, 1},          {EV_KEY, BTN_TOOL_FINGER, 1},
          {EV_ABS, ABS_MT_POSITION_X, x},  {EV_ABS, ABS_MT_POSITION_Y, y},
          {EV_ABS, ABS_MT_TOUCH_MAJOR, 1}, {EV_ABS, ABS_MT_WIDTH_MAJOR, 1},
          {EV_ABS, ABS_MT_PRESSURE, 1},    SYN};
}

// A contact under the anonymous protocol, closed by MT-SYN.
Events anonContact(int32_t id, int32_t x, int32_t y) {
  return {{EV_ABS, ABS_MT_TRACKING_ID, id}, {EV_KEY, BTN_TOUCH, 1},
          {EV_KEY, BTN_TOOL_FINGER, 1},     {EV_ABS, ABS_MT_POSITION_X, x},
          {EV_ABS, ABS_MT_POSITION_Y, y},   {EV_ABS, ABS_MT_TOUCH_MAJOR, 1},
          {EV_ABS, ABS_MT_WIDTH_MAJOR, 1},  {EV_ABS, ABS_MT_PRESSURE, 1},
          MT_SYN};
}

Events join(std::initializer_list<Events> parts) {
  Events all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Contacts as the daemon reads them from a payload.
struct Payload {
  explicit Payload(const std::vector<Contact>& contacts) : bytes(test::contactsPayload(contacts)) {}
  ContactList list() const { return ContactList(readWord(bytes.data()), bytes.data() + 4); }
  std::vector<uint8_t> bytes;
};

struct SuitabilityCase {
  const char* name;
  StandInNode node;
  bool accepted;
  bool protocolB;
};

TEST(TouchDevice, SuitabilityChecks) {
  auto with = [](StandInNode n, auto change) {
    change(n);
    return n;
  };
  const SuitabilityCase cases[] = {
      {"slot panel", panel(true), true, true},
      {"anonymous panel", panel(false), true, false},
      {"no EV_ABS", with(panel(true), [](auto& n) { n.types = {EV_SYN, EV_KEY}; }), false, false},
      {"no ABS_MT_POSITION_Y",
       with(panel(true), [](auto& n) { n.absAxes = {ABS_X, ABS_Y, ABS_MT_POSITION_X}; }), false, false},
      {"ABS_X 0..0, MT X 0..1079",
       with(panel(true), [](auto& n) { n.ranges = {{ABS_X, {0, 0}}, {ABS_Y, {0, 0}},
                                                   {ABS_MT_POSITION_X, {0, 1079}},
                                                   {ABS_MT_POSITION_Y, {0, 2339}}}; }),
       true, true},
      {"ABS_X 0..0 without an MT X range",
       with(panel(true), [](auto& n) { n.ranges = {{ABS_X, {0, 0}}, {ABS_Y, {0, 2339}}}; }), false, false},
      {"X minimum equals maximum",
       with(panel(true), [](auto& n) { n.ranges[ABS_X] = {5, 5}; }), false, false},
      {"negative X minimum",
       with(panel(true), [](auto& n) { n.ranges[ABS_X] = {-1, 1079}; }), false, false},
      {"ABS_Y does not answer",
       with(panel(true), [](auto& n) { n.ranges.erase(ABS_Y); }), false, false},
      {"Y range is not checked",
       with(panel(false), [](auto& n) { n.ranges[ABS_Y] = {7, 7}; }), true, false},
      {"not an event node", with(panel(true), [](auto& n) { n.queryable = false; }), false, false},
  };
  for (const auto& c : cases) {
    StandInNodes nodes;
    nodes.add(eventNodePath(3), c.node);
    TouchDevice device(nodes);
    EXPECT_EQ(device.Open(), c.accepted) << c.name;
    if (c.accepted) {
      EXPECT_EQ(device.protocolB(), c.protocolB) << c.name;
    }
    EXPECT_EQ(nodes.openCount(), c.accepted ? 1u : 0u) << c.name;
  }
}

TEST(TouchDevice, KeepsFirstSuitableNode) {
  StandInNodes nodes;
  StandInNode flat = panel(true);
  flat.ranges[ABS_X] = {0, 0};  // and no multi-touch range: rejected
  nodes.add(eventNodePath(0), flat);
  nodes.add(eventNodePath(2), panel(false));
  nodes.add(eventNodePath(57), panel(true));
  TouchDevice device(nodes);
  ASSERT_TRUE(device.Open());
  EXPECT_FALSE(device.protocolB());
  EXPECT_EQ(nodes.openCount(), 1u);
  device.TouchDown(1, 2);
  EXPECT_TRUE(nodes.events(eventNodePath(0)).empty());
  EXPECT_EQ(nodes.events(eventNodePath(2)).size(), 10u);
  EXPECT_TRUE(nodes.events(eventNodePath(57)).empty());
}

class TouchFixture : public ::testing::Test {
 protected:
  void open(bool slots) {
    nodes.add(path, panel(slots));
    ASSERT_TRUE(device.Open());
  }
  Events take() {
    Events e = nodes.events(path);
    nodes.clearEvents();
    return e;
  }
  void move(const std::vector<Contact>& c) { EXPECT_TRUE(device.MultiTouchMove(Payload(c).list())); }
  void up(const std::vector<Contact>& c) { EXPECT_TRUE(device.MultiTouchUp(Payload(c).list())); }

  StandInNodes nodes;
  std::string path = eventNodePath(1);
  TouchDevice device{nodes};
};

TEST_F(TouchFixture, TouchDownAndUpUseSlotZeroOnEitherProtocol) {
  for (bool slots : {true, false}) {
    SCOPED_TRACE(slots);
    StandInNodes own;
    own.add(path, panel(slots));
    TouchDevice d(own);
    ASSERT_TRUE(d.Open());
    d.TouchDown(540, 960);
    d.TouchUp(541, 961);
    const Events expected = {
        {EV_KEY, BTN_TOUCH, 1},          {EV_KEY, BTN_TOOL_FINGER, 1},   {EV_ABS, ABS_MT_SLOT, 0},
        {EV_ABS, ABS_MT_TRACKING_ID, 1}, {EV_ABS, ABS_MT_POSITION_X, 540}, {EV_ABS, ABS_MT_POSITION_Y, 960},
        {EV_ABS, ABS_MT_TOUCH_MAJOR, 1}, {EV_ABS, ABS_MT_WIDTH_MAJOR, 1}, {EV_ABS, ABS_MT_PRESSURE, 1},
        SYN,
        {EV_KEY, BTN_TOUCH, 0},          {EV_KEY, BTN_TOOL_FINGER, 0},   {EV_ABS, ABS_MT_SLOT, 0},
        {EV_ABS, ABS_MT_TRACKING_ID, -1}, {EV_ABS, ABS_MT_POSITION_X, 541}, {EV_ABS, ABS_MT_POSITION_Y, 961},
        {EV_ABS, ABS_MT_TOUCH_MAJOR, 0}, {EV_ABS, ABS_MT_WIDTH_MAJOR, 0}, {EV_ABS, ABS_MT_PRESSURE, 0},
        SYN};
    EXPECT_EQ(own.events(path), expected);
    for (const auto& slot : d.slots()) EXPECT_EQ(slot.trackingId, -1);
  }
}

TEST_F(TouchFixture, SlotProtocolSendsOnlyChangedContacts) {
  open(true);
  move({{5, 100, 200}, {9, 300, 400}});
  EXPECT_EQ(take(), join({slotGroup(0, 5, 100, 200), slotGroup(1, 9, 300, 400)}));
  move({{5, 100, 200}});
  EXPECT_EQ(take(), Events{});
  move({{5, 100, 200}, {9, 310, 400}});
  EXPECT_EQ(take(), slotGroup(1, 9, 310, 400));

  up({{5, 0, 0}});
  EXPECT_EQ(take(), (Events{{EV_ABS, ABS_MT_SLOT, 0}, {EV_ABS, ABS_MT_TRACKING_ID, -1}, SYN}));
  up({{5, 0, 0}, {77, 0, 0}});  // neither is down
  EXPECT_EQ(take(), Events{});
  // The freed slot 0 is the first free one again.
  move({{6, 1, 2}});
  EXPECT_EQ(take(), slotGroup(0, 6, 1, 2));
}

TEST_F(TouchFixture, ElevenContactsFillTenSlotsAndSucceed) {
  nodes.add(path, panel(true));
  std::vector<Contact> eleven;
  for (int i = 0; i < 11; ++i) eleven.push_back({100 + i, i, i});
  Payload payload(eleven);
  TouchCommandHandler handler(std::make_unique<TouchDevice>(nodes));
  ASSERT_TRUE(handler.Init());
  CommandServer server;
  CommandReply reply;
  reply.Prepare(&server, 0);
  EXPECT_TRUE(handler.DoCmd(&reply, CMD_MULTI_TOUCH, payload.bytes.data(), uint32_t(payload.bytes.size())));
  EXPECT_EQ(reply.status(), STATUS_OK);
  Events expected;
  for (int i = 0; i < 10; ++i) {
    Events g = slotGroup(i, 100 + i, i, i);
    expected.insert(expected.end(), g.begin(), g.end());
  }
  EXPECT_EQ(take(), expected);
}

TEST_F(TouchFixture, AnonymousProtocolReportsWhatIsStillDown) {
  open(false);
  move({{5, 100, 200}, {9, 300, 400}});
  EXPECT_EQ(take(), join({anonContact(5, 100, 200), anonContact(9, 300, 400), {SYN}}));
  move({{5, 100, 200}});  // unchanged contacts are reported again
  EXPECT_EQ(take(), join({anonContact(5, 100, 200), {SYN}}));

  up({{5, 0, 0}});
  EXPECT_EQ(take(), join({anonContact(9, 300, 400), {SYN}}));
  up({{42, 0, 0}});  // not down: the rest is reported again
  EXPECT_EQ(take(), join({anonContact(9, 300, 400), {SYN}}));
  up({{9, 0, 0}});
  EXPECT_EQ(take(), (Events{{EV_KEY, BTN_TOUCH, 0}, SYN}));
}

TEST_F(TouchFixture, AnonymousProtocolClosesFrameWhenSlotsRunOut) {
  open(false);
  std::vector<Contact> eleven;
  for (int i = 0; i < 11; ++i) eleven.push_back({i, i, i});
  move(eleven);
  Events e = take();
  ASSERT_EQ(e.size(), 10 * 9 + 1u);
  EXPECT_EQ(e.back(), SYN);
}

TEST(KeyDevice, KeysGoToTheLastNodeReportingThem) {
  StandInNodes nodes;
  StandInNode buttons, keyboard, mouse, broken;
  buttons.types = keyboard.types = broken.types = {EV_SYN, EV_KEY};
  buttons.keys = {KEY_VOLUMEDOWN, KEY_POWER, KEY_A};
  keyboard.keys = {KEY_POWER, KEY_BACK};
  mouse.types = {EV_SYN, EV_REL};
  broken.keyQueryFails = true;
  nodes.add(eventNodePath(1), buttons);
  nodes.add(eventNodePath(2), mouse);
  nodes.add(eventNodePath(3), keyboard);
  nodes.add(eventNodePath(9), broken);
  KeyDevice keys(nodes);
  ASSERT_TRUE(keys.Open());
  EXPECT_EQ(nodes.openCount(), 3u);  // the mouse is closed, the broken node stays open

  EXPECT_EQ(keys.nodeFor(KEY_POWER), 3);
  EXPECT_EQ(keys.nodeFor(KEY_A), 1);
  EXPECT_TRUE(keys.PushKey(KEY_POWER));
  const Events press = {{EV_KEY, KEY_POWER, 1}, SYN, {EV_KEY, KEY_POWER, 0}, SYN};
  EXPECT_EQ(nodes.events(eventNodePath(3)), press);
  EXPECT_TRUE(nodes.events(eventNodePath(1)).empty());

  struct {
    uint32_t code;
    bool supported;
  } const queries[] = {{KEY_A, true}, {KEY_BACK, true}, {KEY_HOME, false},
                       {766, false},  {767, false},     {0xFFFFFFFF, false}};
  for (const auto& q : queries) {
    EXPECT_EQ(keys.IsKeySupported(q.code), q.supported) << q.code;
    EXPECT_EQ(keys.PushKey(q.code), q.supported) << q.code;
  }
  nodes.clearEvents();
  keys.Close();
  EXPECT_EQ(nodes.openCount(), 0u);
  EXPECT_FALSE(keys.PushKey(KEY_A));
  EXPECT_TRUE(nodes.events(eventNodePath(1)).empty());
}

TEST(KeyDevice, EmptyDirectoryStillOpens) {
  StandInNodes nodes;
  KeyDevice keys(nodes);
  EXPECT_TRUE(keys.Open());
  EXPECT_FALSE(keys.IsKeySupported(KEY_BACK));
}

TEST(InputDevice, WritesTheNativeRecordLayout) {
  test::TempDir dir;
  int fd = ::open(dir.file("node").c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  KernelEventNodes kernel;
  KeyDevice device(kernel);
  timeval before{};
  gettimeofday(&before, nullptr);
  EXPECT_TRUE(device.SendEvent(EV_KEY, KEY_BACK, 1, fd));
  EXPECT_FALSE(device.SendEvent(EV_KEY, KEY_BACK, 1));  // no node of its own
  ::close(fd);

  std::string bytes = test::readFile(dir.file("node"));
  ASSERT_EQ(bytes.size(), sizeof(input_event));
  // On 64-bit: seconds and microseconds as 8-byte words, then type, code, value.
  const size_t word = sizeof(long);
  int64_t seconds = 0;
  std::memcpy(&seconds, bytes.data(), word);
  uint16_t type, code;
  int32_t value;
  std::memcpy(&type, bytes.data() + 2 * word, 2);
  std::memcpy(&code, bytes.data() + 2 * word + 2, 2);
  std::memcpy(&value, bytes.data() + 2 * word + 4, 4);
  EXPECT_EQ(type, EV_KEY);
  EXPECT_EQ(code, KEY_BACK);
  EXPECT_EQ(value, 1);
  EXPECT_GE(seconds, before.tv_sec);
  EXPECT_LE(seconds, before.tv_sec + 5);
}

}  // namespace
}  // namespace tavrin
