#include "phone/input/InputTrace.h"

#include <cstdarg>
#include <cstdio>

#include "platform/Log.h"

namespace tavrin {

int inputTrace(const char* format, ...) {
  // Read once: the daemon traces every event record, and the variable is
  // fixed for the life of the process.
  static const bool enabled = logDirEnabled();
  if (!enabled) return 1;
  char text[512];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  logFileLine("tavrininput", "%s", text);
  return 1;
}

}  // namespace tavrin
