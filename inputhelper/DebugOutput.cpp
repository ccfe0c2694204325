#include "inputhelper/DebugOutput.h"

#include "platform/Log.h"

namespace tavrin {

void debugOutput(const char* text) {
  if (text && *text) logLine(INPUT_HELPER_LOG_TAG, "%s", text);
}

}  // namespace tavrin
