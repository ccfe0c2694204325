#pragma once

namespace tavrin {

// The syslog ident (and log file tag) of the input helper's debug output.
constexpr const char* INPUT_HELPER_LOG_TAG = "tavrininputhelper";

// Text for the debug output: syslog at LOG_DEBUG, and the helper's log file
// when $TAVRIN_LOG_DIR is set.
void debugOutput(const char* text);

}  // namespace tavrin
