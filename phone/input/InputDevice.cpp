#include "phone/input/InputDevice.h"

#include <sys/time.h>

#include "phone/input/InputTrace.h"

namespace tavrin {

InputDevice::~InputDevice() {
  // Close() is virtual; a derived device closes its own nodes in its destructor.
  InputDevice::Close();
}

bool InputDevice::Open() {
  if (fd_ != -1) Close();
  for (int i = 0; i < EVENT_NODE_COUNT; ++i) {
    std::string path = eventNodePath(i);
    inputTrace("open %s\n", path.c_str());
    int fd = nodes_.open(path);
    if (fd < 0) continue;
    if (IsSuitable(fd)) {
      fd_ = fd;
      return true;
    }
    nodes_.close(fd);
  }
  return false;
}

void InputDevice::Close() {
  if (fd_ != -1) nodes_.close(fd_);
  fd_ = -1;
}

bool InputDevice::SendEvent(uint16_t type, uint16_t code, int32_t value, int fd) {
  int target = fd != -1 ? fd : fd_;
  if (target == -1) {
    inputTrace("send file is invalid\n");
    return false;
  }
  // The platform's own record layout (24 bytes on 64-bit kernels): the kernel
  // reads whole records of that size, so a narrower record would be misread.
  input_event event{};
  timeval now{};
  gettimeofday(&now, nullptr);
  event.input_event_sec = now.tv_sec;
  event.input_event_usec = now.tv_usec;
  event.type = type;
  event.code = code;
  event.value = value;
  inputTrace("send %08x %08x %08x\n", type, code, unsigned(value));
  nodes_.write(target, event);
  return true;
}

}  // namespace tavrin
