#include "phone/input/InputTrace.h"

#include <cstdarg>
#include <cstdio>

#include "platform/Log.h"

namespace tavrin {

int inputTrace(const char* format, ...) {
  if (!logDirEnabled()) return 1;
  char text[512];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  logFileLine("tavrininput", "%s", text);
  return 1;
}

}  // namespace tavrin
