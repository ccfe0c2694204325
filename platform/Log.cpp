#include "platform/Log.h"

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace tavrin {

namespace {

std::mutex logMutex;

void appendToFile(const char* tag, const char* text) {
  const char* dir = std::getenv("TAVRIN_LOG_DIR");
  if (!dir || !*dir) return;
  std::string path = std::string(dir) + "/" + tag + ".log";
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  std::string line(text);
  if (line.empty() || line.back() != '\n') line += '\n';
  // One write per line, so lines from several processes do not interleave.
  ssize_t ignored = write(fd, line.data(), line.size());
  (void)ignored;
  close(fd);
}

}  // namespace

bool logDirEnabled() {
  const char* dir = std::getenv("TAVRIN_LOG_DIR");
  return dir && *dir;
}

void logLineV(const char* tag, const char* format, va_list args) {
  char text[1024];
  vsnprintf(text, sizeof text, format, args);
  std::lock_guard lock(logMutex);
  openlog(tag, LOG_PID, LOG_USER);
  syslog(LOG_DEBUG, "%s", text);
  closelog();
  appendToFile(tag, text);
}

void logLine(const char* tag, const char* format, ...) {
  va_list args;
  va_start(args, format);
  logLineV(tag, format, args);
  va_end(args);
}

void logFileLine(const char* tag, const char* format, ...) {
  if (!logDirEnabled()) return;
  char text[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  std::lock_guard lock(logMutex);
  appendToFile(tag, text);
}

}  // namespace tavrin
