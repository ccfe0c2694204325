#include "phone/input/KeyDevice.h"

#include "phone/input/InputTrace.h"

namespace tavrin {

KeyDevice::KeyDevice(EventNodes& nodes) : InputDevice(nodes) {
  keyTable_.fill(NO_NODE);
  nodeFds_.fill(-1);
}

KeyDevice::~KeyDevice() { KeyDevice::Close(); }

bool KeyDevice::IsSuitable(int fd) {
  uint8_t types[4] = {};
  return nodes_.queryBits(fd, 0, types, sizeof types) && testBit(types, sizeof types, EV_KEY);
}

bool KeyDevice::Open() {
  Close();
  for (int i = 0; i < EVENT_NODE_COUNT; ++i) {
    std::string path = eventNodePath(i);
    inputTrace("open %s\n", path.c_str());
    int fd = nodes_.open(path);
    if (fd < 0) continue;
    if (!IsSuitable(fd)) {
      inputTrace("no key bit\n");
      nodes_.close(fd);
      continue;
    }
    nodeFds_[i] = fd;
    uint8_t keys[96] = {};  // 768 bits
    if (!nodes_.queryBits(fd, EV_KEY, keys, sizeof keys)) continue;  // stays open, claims nothing
    for (uint32_t code = 0; code <= MAX_KEY_CODE; ++code)
      if (testBit(keys, sizeof keys, code)) keyTable_[code] = uint8_t(i);
  }
  return true;
}

void KeyDevice::Close() {
  for (int& fd : nodeFds_) {
    if (fd != -1) nodes_.close(fd);
    fd = -1;
  }
  keyTable_.fill(NO_NODE);
}

uint8_t KeyDevice::nodeFor(uint32_t keyCode) const {
  return keyCode > MAX_KEY_CODE ? NO_NODE : keyTable_[keyCode];
}

bool KeyDevice::IsKeySupported(uint32_t keyCode) {
  uint8_t node = nodeFor(keyCode);
  if (node == NO_NODE || nodeFds_[node] == -1) {
    inputTrace("not support\n");
    return false;
  }
  return true;
}

bool KeyDevice::PushKey(uint32_t keyCode) {
  inputTrace("push key %d\n", int(keyCode));
  if (!IsKeySupported(keyCode)) return false;
  int fd = nodeFds_[nodeFor(keyCode)];
  uint16_t code = uint16_t(keyCode);
  if (SendEvent(EV_KEY, code, 1, fd) && SendEvent(EV_SYN, SYN_REPORT, 0, fd) &&
      SendEvent(EV_KEY, code, 0, fd))
    SendEvent(EV_SYN, SYN_REPORT, 0, fd);
  return true;
}

}  // namespace tavrin
