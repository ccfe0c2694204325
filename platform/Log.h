#pragma once

#include <cstdarg>

namespace tavrin {

// Diagnostic line under a tag: syslog (LOG_DEBUG, the tag as ident), and when
// $TAVRIN_LOG_DIR is set, also appended as one line to <dir>/<tag>.log.
void logLine(const char* tag, const char* format, ...) __attribute__((format(printf, 2, 3)));
void logLineV(const char* tag, const char* format, va_list args);

// True when $TAVRIN_LOG_DIR is set; traces that only go to files check it.
bool logDirEnabled();
// Appends only to <dir>/<tag>.log, and only when $TAVRIN_LOG_DIR is set.
void logFileLine(const char* tag, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace tavrin
