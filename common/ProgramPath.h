#pragma once

#include <string>

namespace tavrin {

constexpr size_t MAX_PROGRAM_PATH = 260;

// Directory of the running program: $TAVRIN_HOME when set, else the
// directory of /proc/self/exe. No trailing slash.
std::string programDirectory();

// A path naming a location of its own (absolute, or with a drive colon) is
// kept; anything else is joined to programDirectory(). Backslashes become
// slashes. Empty when the result would exceed MAX_PROGRAM_PATH.
std::string programPath(const std::string& relative);

}  // namespace tavrin
