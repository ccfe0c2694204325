#pragma once

#include <cstdint>
#include <string>

namespace tavrin {

// The one place any part of the client posts a short text to show over the
// video for a while. Main thread only.
class MessageBoard {
 public:
  static constexpr size_t STORAGE = 824;  // bytes, terminator included

  // Ignored for a null text or while a sticky message is still running;
  // otherwise replaces the current message at once.
  void show(const char* text, uint32_t durationMs, bool sticky, uint32_t now);
  // The text to draw at `now`; empty once the time is up (then the board is cleared).
  const std::string& current(uint32_t now);

  bool running() const { return running_; }
  bool sticky() const { return sticky_; }

 private:
  void clear();

  std::string text_;
  uint32_t duration_ = 0;
  uint32_t start_ = 0;
  bool running_ = false;
  bool sticky_ = false;
};

MessageBoard& messageBoard();

// Posts to the process-wide board, timed by SDL's ticks.
void showMessage(const char* text, uint32_t durationMs, bool sticky);

// Cuts UTF-8 text to at most maxBytes without splitting a character.
std::string cutUtf8(const std::string& text, size_t maxBytes);

}  // namespace tavrin
