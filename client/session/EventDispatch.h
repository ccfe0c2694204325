#pragma once

#include <vector>

#include "client/session/IEventCallback.h"

union SDL_Event;

namespace tavrin {

// What the player window does itself with some events, before (or instead
// of) the callbacks seeing them.
class IWindowEventTarget {
 public:
  virtual void onQuitEvent() = 0;
  virtual void onOwnWindowEvent(int eventId, int data1, int data2) = 0;
  virtual void onJoystickAdded() = 0;
  virtual void onRotation(int rotation) = 0;
  virtual void onWarpMouse(int x, int y) = 0;
  virtual void onStreamClosed() = 0;

 protected:
  ~IWindowEventTarget() = default;
};

// Routes one SDL event: the window's own part first, then the callbacks in
// list order until one consumes it.
void dispatchEvent(const SDL_Event& event, IWindowEventTarget& window,
                   const std::vector<IEventCallback*>& callbacks);

}  // namespace tavrin
