#pragma once

#include "phone/input/InputBackend.h"

namespace tavrin {

// Injection into the X display named by $DISPLAY through the XTest extension,
// for a phone simulated on a desktop. The first contact down drives the
// pointer and button 1; a Linux key code k is the X key code k + 8.
class XTestBackend : public InputBackend {
 public:
  std::unique_ptr<TouchInjector> makeTouch() override;
  std::unique_ptr<KeyInjector> makeKeys() override;
};

}  // namespace tavrin
