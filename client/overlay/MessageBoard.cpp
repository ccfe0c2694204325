#include "client/overlay/MessageBoard.h"

#include <SDL.h>

#include "common/Singleton.h"

namespace tavrin {

std::string cutUtf8(const std::string& text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t end = maxBytes;
  // Step back over continuation bytes to the start of the cut character.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

void MessageBoard::show(const char* text, uint32_t durationMs, bool sticky, uint32_t now) {
  if (!text) return;
  if (sticky_ && running_ && now - start_ < duration_) return;
  sticky_ = sticky;
  start_ = now;
  running_ = true;
  text_ = cutUtf8(text, STORAGE - 1);
  duration_ = durationMs;
}

const std::string& MessageBoard::current(uint32_t now) {
  if (text_.empty()) return text_;
  uint32_t elapsed = running_ ? now - start_ : 0;
  if (elapsed >= duration_) clear();
  return text_;
}

void MessageBoard::clear() {
  text_.clear();
  running_ = false;
  start_ = 0;
  sticky_ = false;
}

MessageBoard& messageBoard() { return Singleton<MessageBoard>::instance(); }

void showMessage(const char* text, uint32_t durationMs, bool sticky) {
  messageBoard().show(text, durationMs, sticky, SDL_GetTicks());
}

}  // namespace tavrin
