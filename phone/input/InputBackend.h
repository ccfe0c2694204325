#pragma once

#include <cstdint>
#include <memory>

#include "phone/input/InputProtocol.h"

namespace tavrin {

// What the touch command handler drives: the touch panel's event node, or
// the pointer of an X display.
class TouchInjector {
 public:
  virtual ~TouchInjector() = default;
  virtual bool Open() = 0;
  virtual void Close() = 0;
  virtual bool TouchDown(int32_t x, int32_t y) = 0;
  virtual bool TouchUp(int32_t x, int32_t y) = 0;
  virtual bool MultiTouchMove(const ContactList& contacts) = 0;
  virtual bool MultiTouchUp(const ContactList& contacts) = 0;
};

// What the key command handler drives.
class KeyInjector {
 public:
  virtual ~KeyInjector() = default;
  virtual bool Open() = 0;
  virtual void Close() = 0;
  virtual bool PushKey(uint32_t keyCode) = 0;
  virtual bool IsKeySupported(uint32_t keyCode) = 0;
};

// Makes the two injectors; the daemon asks for the key side only once the
// touch side has opened.
class InputBackend {
 public:
  virtual ~InputBackend() = default;
  virtual std::unique_ptr<TouchInjector> makeTouch() = 0;
  virtual std::unique_ptr<KeyInjector> makeKeys() = 0;
};

}  // namespace tavrin
