#include "client/session/EventDispatch.h"

#include <SDL.h>

#include "client/session/UserEvents.h"

namespace tavrin {

namespace {

template <typename Call>
void walk(const std::vector<IEventCallback*>& callbacks, Call call) {
  for (IEventCallback* callback : callbacks)
    if (callback && call(*callback)) return;
}

}  // namespace

void dispatchEvent(const SDL_Event& e, IWindowEventTarget& window,
                   const std::vector<IEventCallback*>& callbacks) {
  switch (e.type) {
    case SDL_QUIT:
      window.onQuitEvent();
      return;
    case SDL_WINDOWEVENT:
      window.onOwnWindowEvent(e.window.event, e.window.data1, e.window.data2);
      walk(callbacks, [&](IEventCallback& c) { return c.onWindowEvent(e.window.event, e.window.data1, e.window.data2); });
      return;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      walk(callbacks, [&](IEventCallback& c) { return c.onKey(e.type, e.key.keysym.sym); });
      return;
    case SDL_TEXTINPUT:
      walk(callbacks, [&](IEventCallback& c) { return c.onTextInput(e.text.text[0]); });
      return;
    case SDL_MOUSEMOTION:
      walk(callbacks, [&](IEventCallback& c) { return c.onMouse(e.type, e.motion.state, 0, e.motion.x, e.motion.y); });
      return;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      walk(callbacks, [&](IEventCallback& c) {
        return c.onMouse(e.type, e.button.button, e.button.clicks, e.button.x, e.button.y);
      });
      return;
    case SDL_MOUSEWHEEL:
      walk(callbacks, [&](IEventCallback& c) { return c.onMouse(e.type, 0, 0, e.wheel.x, e.wheel.y); });
      return;
    case SDL_JOYAXISMOTION:
      walk(callbacks, [&](IEventCallback& c) {
        return c.onJoyAxis(e.jaxis.which, e.jaxis.axis, static_cast<uint16_t>(e.jaxis.value));
      });
      return;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
      walk(callbacks, [&](IEventCallback& c) { return c.onJoyButton(e.jbutton.which, e.type, e.jbutton.button); });
      return;
    case SDL_JOYDEVICEADDED:
      window.onJoystickAdded();
      return;
    case SDL_USEREVENT: {
      auto data1 = reinterpret_cast<intptr_t>(e.user.data1);
      auto data2 = reinterpret_cast<intptr_t>(e.user.data2);
      if (e.user.code == EVT_ROTATION) window.onRotation(static_cast<int>(data1));
      else if (e.user.code == EVT_WARP_MOUSE) window.onWarpMouse(static_cast<int>(data1), static_cast<int>(data2));
      else if (e.user.code == EVT_STREAM_CLOSED) window.onStreamClosed();
      walk(callbacks, [&](IEventCallback& c) { return c.onUserEvent(e.user.code, data1, data2); });
      return;
    }
    default:
      return;
  }
}

}  // namespace tavrin
