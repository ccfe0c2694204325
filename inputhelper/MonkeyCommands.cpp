#include "inputhelper/MonkeyCommands.h"

#include <cctype>

namespace tavrin {

std::optional<std::string> specialKeyName(int32_t key) {
  static const char* const names[] = {"DPAD_UP",       "DPAD_RIGHT",    "DPAD_DOWN",   "DPAD_LEFT",
                                      "KEYCODE_DEL",   "KEYCODE_ENTER", "KEYCODE_TAB", "KEYCODE_SHIFT_LEFT"};
  if (key < 1 || key > 8) return std::nullopt;
  return names[key - 1];
}

std::vector<std::string> keyPressCommands(const std::string& name) {
  return {"key down " + name, "key up " + name};
}

std::vector<std::string> typeCharCommands(char c) {
  if (c == '\0') return {};  // nothing to type
  if (c == ' ') return keyPressCommands("KEYCODE_SPACE");
  return {std::string("type ") + c};
}

std::string monkeyRequestLine(const std::string& command) {
  auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  size_t begin = 0, end = command.size();
  while (begin < end && space(command[begin])) ++begin;
  while (end > begin && space(command[end - 1])) --end;
  return command.substr(begin, end - begin) + "\n";
}

bool monkeyAccepted(const std::string& reply) { return reply.compare(0, 2, "OK") == 0; }

}  // namespace tavrin
