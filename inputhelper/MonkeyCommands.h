#pragma once

// Text commands of the phone's monkey server (network mode): one command a
// line, answered by a line that begins with "OK" when it was carried out.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavrin {

// The key name of special key 1 to 8, as the monkey server is sent it.
std::optional<std::string> specialKeyName(int32_t key);

// "key down NAME" and "key up NAME".
std::vector<std::string> keyPressCommands(const std::string& name);

// What typing one character takes: a space is the space key (a "type "
// command would lose it to trimming), a NUL nothing, anything else "type C".
std::vector<std::string> typeCharCommands(char c);

// The line sent for `command`: white space trimmed at both ends, then LF.
std::string monkeyRequestLine(const std::string& command);

bool monkeyAccepted(const std::string& reply);

}  // namespace tavrin
