#pragma once

#include <cstdint>

namespace tavrin {

// Codes of the SDL user events the client's components post to one another
// (SDL_USEREVENT, code field; data1 and data2 are integers).
enum UserEventCode : int32_t {
  EVT_STREAM_CLOSED = 1025,     // video producer: data1 reason (1)
  EVT_ROTATION = 1026,          // data1 rotation 0..3
  EVT_KEYBOARD_FORWARD = 1027,  // data1 1 on, 0 off
  EVT_KEYMAP_EDIT = 1028,       // data1 new button state
  EVT_MOUSE_FORWARD = 1029,     // data1 1 on, 0 off
  EVT_KEYMAP_CLEAR = 1030,
  EVT_WARP_MOUSE = 1031,        // data1 x, data2 y in window pixels
};

// Posts a zero-filled SDL_USEREVENT from any thread; true when SDL queued it.
// SDL's event queue works without a window once its events subsystem runs.
bool pushUserEvent(int32_t code, intptr_t data1, intptr_t data2);

}  // namespace tavrin
