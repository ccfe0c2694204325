#pragma once

#include <cstdint>

namespace tavrin {

// Receiver of the main loop's events. Each returns whether it consumed the
// event; a consumed event is not shown to later callbacks.
class IEventCallback {
 public:
  // button: the button (button events), the button-state mask (motion) or 0
  // (wheel, where x and y are the scroll amounts).
  virtual bool onMouse(uint32_t /*type*/, uint32_t /*button*/, int /*clicks*/, int /*x*/, int /*y*/) { return false; }
  virtual bool onKey(uint32_t /*type*/, int32_t /*keySymbol*/) { return false; }
  virtual bool onWindowEvent(int /*eventId*/, int /*data1*/, int /*data2*/) { return false; }
  // value carries SDL's 16 bits; read them as a signed 16-bit number.
  virtual bool onJoyAxis(int32_t /*instance*/, int /*axis*/, uint16_t /*value*/) { return false; }
  virtual bool onJoyButton(int32_t /*instance*/, uint32_t /*type*/, int /*button*/) { return false; }
  virtual bool onTextInput(char /*firstByte*/) { return false; }
  virtual bool onUserEvent(int32_t /*code*/, intptr_t /*data1*/, intptr_t /*data2*/) { return false; }
  virtual ~IEventCallback() = default;
};

}  // namespace tavrin
