#include "client/session/UserEvents.h"

#include <SDL.h>

namespace tavrin {

bool pushUserEvent(int32_t code, intptr_t data1, intptr_t data2) {
  SDL_Event event;
  SDL_zero(event);
  event.type = SDL_USEREVENT;
  event.user.code = code;
  event.user.data1 = reinterpret_cast<void*>(data1);
  event.user.data2 = reinterpret_cast<void*>(data2);
  return SDL_PushEvent(&event) == 1;
}

}  // namespace tavrin
