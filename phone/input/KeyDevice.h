#pragma once

#include <array>
#include <cstdint>

#include "phone/input/InputBackend.h"
#include "phone/input/InputDevice.h"

namespace tavrin {

// Every node that reports EV_KEY, and for each key code the node that gets
// it: the highest-numbered node that reports the key.
class KeyDevice : public InputDevice, public KeyInjector {
 public:
  static constexpr uint8_t NO_NODE = 0xFF;

  explicit KeyDevice(EventNodes& nodes);
  ~KeyDevice() override;

  bool Open() override;  // always true, even when no node has keys
  void Close() override;
  bool IsSuitable(int fd) override;

  bool PushKey(uint32_t keyCode) override;
  bool IsKeySupported(uint32_t keyCode) override;

  // Probe index of the node that receives keyCode, or NO_NODE.
  uint8_t nodeFor(uint32_t keyCode) const;
  int nodeFd(int index) const { return nodeFds_[index]; }

 private:
  std::array<uint8_t, MAX_KEY_CODE + 1> keyTable_;
  std::array<int, EVENT_NODE_COUNT> nodeFds_;
};

}  // namespace tavrin
