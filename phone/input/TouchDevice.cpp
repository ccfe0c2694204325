#include "phone/input/TouchDevice.h"

#include "phone/input/InputTrace.h"

namespace tavrin {

namespace {

// X (or Y) range: ABS_X, or the multi-touch axis when ABS_X reads 0..0.
bool axisRange(EventNodes& nodes, int fd, int axis, int mtAxis, input_absinfo& range) {
  if (!nodes.queryAbs(fd, axis, range)) return false;
  if (range.minimum == 0 && range.maximum == 0) return nodes.queryAbs(fd, mtAxis, range);
  return true;
}

}  // namespace

bool TouchDevice::IsSuitable(int fd) {
  uint8_t types[4] = {};
  if (!nodes_.queryBits(fd, 0, types, sizeof types) || !testBit(types, sizeof types, EV_ABS)) {
    inputTrace("not dev\n");
    return false;
  }
  uint8_t axes[8] = {};  // codes 0..63 only; higher ones count as absent
  if (!nodes_.queryBits(fd, EV_ABS, axes, sizeof axes) ||
      !testBit(axes, sizeof axes, ABS_MT_POSITION_X) ||
      !testBit(axes, sizeof axes, ABS_MT_POSITION_Y)) {
    inputTrace("not touch bit\n");
    return false;
  }
  input_absinfo x{}, y{};
  if (!axisRange(nodes_, fd, ABS_X, ABS_MT_POSITION_X, x)) {
    inputTrace("no absx\n");
    return false;
  }
  if (!axisRange(nodes_, fd, ABS_Y, ABS_MT_POSITION_Y, y)) {
    inputTrace("no absy\n");
    return false;
  }
  if (x.minimum < 0 || x.minimum == x.maximum) {
    inputTrace("not dev\n");
    return false;
  }
  protocolB_ = testBit(axes, sizeof axes, ABS_MT_SLOT);
  inputTrace("minx %d, maxx %d, miny %d maxy %d\n", x.minimum, x.maximum, y.minimum, y.maximum);
  return true;
}

bool TouchDevice::TouchDown(int32_t x, int32_t y) {
  SendEvent(EV_KEY, BTN_TOUCH, 1);
  SendEvent(EV_KEY, BTN_TOOL_FINGER, 1);
  SendEvent(EV_ABS, ABS_MT_SLOT, 0);
  SendEvent(EV_ABS, ABS_MT_TRACKING_ID, 1);
  SendEvent(EV_ABS, ABS_MT_POSITION_X, x);
  SendEvent(EV_ABS, ABS_MT_POSITION_Y, y);
  SendEvent(EV_ABS, ABS_MT_TOUCH_MAJOR, 1);
  SendEvent(EV_ABS, ABS_MT_WIDTH_MAJOR, 1);
  SendEvent(EV_ABS, ABS_MT_PRESSURE, 1);
  SendEvent(EV_SYN, SYN_REPORT, 0);
  return true;
}

bool TouchDevice::TouchUp(int32_t x, int32_t y) {
  SendEvent(EV_KEY, BTN_TOUCH, 0);
  SendEvent(EV_KEY, BTN_TOOL_FINGER, 0);
  SendEvent(EV_ABS, ABS_MT_SLOT, 0);
  SendEvent(EV_ABS, ABS_MT_TRACKING_ID, -1);
  SendEvent(EV_ABS, ABS_MT_POSITION_X, x);
  SendEvent(EV_ABS, ABS_MT_POSITION_Y, y);
  SendEvent(EV_ABS, ABS_MT_TOUCH_MAJOR, 0);
  SendEvent(EV_ABS, ABS_MT_WIDTH_MAJOR, 0);
  SendEvent(EV_ABS, ABS_MT_PRESSURE, 0);
  SendEvent(EV_SYN, SYN_REPORT, 0);
  return true;
}

int TouchDevice::findSlot(int32_t id) const {
  int firstFree = -1;
  for (int j = 0; j < TOUCH_SLOT_COUNT; ++j) {
    if (slots_[j].trackingId == id) return j;
    if (firstFree < 0 && slots_[j].trackingId == -1) firstFree = j;
  }
  return firstFree;
}

// The anonymous protocol's report of one contact, closed by MT-SYN.
void TouchDevice::sendContact(const TouchSlot& contact) {
  SendEvent(EV_ABS, ABS_MT_TRACKING_ID, contact.trackingId);
  SendEvent(EV_KEY, BTN_TOUCH, 1);
  SendEvent(EV_KEY, BTN_TOOL_FINGER, 1);
  SendEvent(EV_ABS, ABS_MT_POSITION_X, contact.x);
  SendEvent(EV_ABS, ABS_MT_POSITION_Y, contact.y);
  SendEvent(EV_ABS, ABS_MT_TOUCH_MAJOR, 1);
  SendEvent(EV_ABS, ABS_MT_WIDTH_MAJOR, 1);
  SendEvent(EV_ABS, ABS_MT_PRESSURE, 1);
  SendEvent(EV_SYN, SYN_MT_REPORT, 0);
}

bool TouchDevice::MultiTouchMove(const ContactList& contacts) {
  for (uint32_t i = 0; i < contacts.count(); ++i) {
    Contact c = contacts[i];
    int j = findSlot(c.id);
    if (j < 0) {
      // More contacts than slots: the rest of the command is dropped.
      if (!protocolB_) SendEvent(EV_SYN, SYN_REPORT, 0);
      return true;
    }
    TouchSlot& slot = slots_[j];
    if (protocolB_) {
      if (slot.trackingId == c.id && slot.x == c.x && slot.y == c.y) continue;
      SendEvent(EV_ABS, ABS_MT_SLOT, j);
      SendEvent(EV_ABS, ABS_MT_TRACKING_ID, c.id);
      SendEvent(EV_KEY, BTN_TOUCH, 1);
      SendEvent(EV_KEY, BTN_TOOL_FINGER, 1);
      SendEvent(EV_ABS, ABS_MT_POSITION_X, c.x);
      SendEvent(EV_ABS, ABS_MT_POSITION_Y, c.y);
      SendEvent(EV_ABS, ABS_MT_TOUCH_MAJOR, 1);
      SendEvent(EV_ABS, ABS_MT_WIDTH_MAJOR, 1);
      SendEvent(EV_ABS, ABS_MT_PRESSURE, 1);
      SendEvent(EV_SYN, SYN_REPORT, 0);
      slot = TouchSlot{c.id, c.x, c.y};
    } else {
      slot = TouchSlot{c.id, c.x, c.y};
      sendContact(slot);
    }
  }
  if (!protocolB_) SendEvent(EV_SYN, SYN_REPORT, 0);
  return true;
}

bool TouchDevice::MultiTouchUp(const ContactList& contacts) {
  if (protocolB_) {
    for (uint32_t i = 0; i < contacts.count(); ++i) {
      int32_t id = contacts[i].id;
      int j = findSlot(id);
      if (j < 0) return true;
      if (slots_[j].trackingId == -1) continue;  // was not down
      SendEvent(EV_ABS, ABS_MT_SLOT, j);
      SendEvent(EV_ABS, ABS_MT_TRACKING_ID, -1);
      SendEvent(EV_SYN, SYN_REPORT, 0);
      slots_[j].trackingId = -1;
    }
    return true;
  }

  for (uint32_t i = 0; i < contacts.count(); ++i) {
    int32_t id = contacts[i].id;
    int j = findSlot(id);
    if (j < 0) break;
    if (slots_[j].trackingId == id) slots_[j].trackingId = -1;
  }
  // The anonymous protocol has no lift event: report what is still down.
  bool anyDown = false;
  for (const TouchSlot& slot : slots_) {
    if (slot.trackingId == -1) continue;
    sendContact(slot);
    anyDown = true;
  }
  if (!anyDown) SendEvent(EV_KEY, BTN_TOUCH, 0);
  SendEvent(EV_SYN, SYN_REPORT, 0);
  return true;
}

}  // namespace tavrin
