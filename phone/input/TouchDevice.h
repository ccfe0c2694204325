#pragma once

#include <array>
#include <cstdint>

#include "phone/input/InputBackend.h"
#include "phone/input/InputDevice.h"

namespace tavrin {

constexpr int TOUCH_SLOT_COUNT = 10;

// A contact the panel was last told about, by kernel slot number.
struct TouchSlot {
  int32_t trackingId = -1;  // -1: free
  int32_t x = 0;
  int32_t y = 0;
};

// The touch panel: the first node with absolute multi-touch positions and a
// usable X range. Coordinates go to the kernel unchanged.
class TouchDevice : public InputDevice, public TouchInjector {
 public:
  explicit TouchDevice(EventNodes& nodes) : InputDevice(nodes) {}

  bool Open() override { return InputDevice::Open(); }
  void Close() override { InputDevice::Close(); }
  bool IsSuitable(int fd) override;

  // Always slot 0, tracking id 1; the slot table is left alone.
  bool TouchDown(int32_t x, int32_t y) override;
  bool TouchUp(int32_t x, int32_t y) override;
  bool MultiTouchMove(const ContactList& contacts) override;
  bool MultiTouchUp(const ContactList& contacts) override;

  bool protocolB() const { return protocolB_; }
  const std::array<TouchSlot, TOUCH_SLOT_COUNT>& slots() const { return slots_; }

 private:
  // The slot holding `id`, else the first free one; -1 when neither exists.
  int findSlot(int32_t id) const;
  void sendContact(const TouchSlot& contact);

  std::array<TouchSlot, TOUCH_SLOT_COUNT> slots_{};
  bool protocolB_ = true;  // the node reports ABS_MT_SLOT
};

}  // namespace tavrin
