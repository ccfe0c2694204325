#pragma once

#include <cstdint>

#include "phone/input/EventNodes.h"

namespace tavrin {

// One kind of event node the daemon writes to. Nodes are reached through the
// EventNodes seam; the fd here is that seam's handle.
class InputDevice {
 public:
  explicit InputDevice(EventNodes& nodes) : nodes_(nodes) {}
  virtual ~InputDevice();
  InputDevice(const InputDevice&) = delete;
  InputDevice& operator=(const InputDevice&) = delete;

  // Keeps the first node of event0..event57 that IsSuitable accepts.
  virtual bool Open();
  virtual void Close();
  virtual bool IsSuitable(int fd) = 0;

  // One record with the current time to `fd`, or to the device's own node
  // when fd is -1; false only when neither is open.
  bool SendEvent(uint16_t type, uint16_t code, int32_t value, int fd = -1);

  int fd() const { return fd_; }

 protected:
  EventNodes& nodes_;
  int fd_ = -1;
};

}  // namespace tavrin
