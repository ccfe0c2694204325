#pragma once

#include "phone/input/EventNodes.h"
#include "phone/input/InputBackend.h"
#include "phone/input/KeyDevice.h"
#include "phone/input/TouchDevice.h"

namespace tavrin {

// Injection into the kernel's event nodes: the touch panel and the key nodes.
class EventNodeBackend : public InputBackend {
 public:
  explicit EventNodeBackend(EventNodes& nodes) : nodes_(nodes) {}
  std::unique_ptr<TouchInjector> makeTouch() override {
    return std::make_unique<TouchDevice>(nodes_);
  }
  std::unique_ptr<KeyInjector> makeKeys() override { return std::make_unique<KeyDevice>(nodes_); }

 private:
  EventNodes& nodes_;
};

}  // namespace tavrin
