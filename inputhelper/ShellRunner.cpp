#include "inputhelper/ShellRunner.h"

#include <system_error>

#include "inputhelper/DebugOutput.h"

namespace tavrin {

bool ShellRunner::start(const char* serial, const char* command, int firstWaitSeconds,
                        const char* requiredFile) {
  stop();
  if (!networkingStarted() || !serial || !command) return false;
  if (requiredFile) {
    AdbConnection probe;
    if (!probe.fileExistsConnected(serial, requiredFile)) return false;
  }
  if (!shell_.connect(adbServerPort(), "127.0.0.1")) return false;
  if (!shell_.runShell(serial, command)) {
    shell_.close();
    return false;
  }
  {
    std::lock_guard lock(mutex_);
    stop_ = false;
  }
  try {
    reader_ = std::thread(&ShellRunner::readLoop, this, firstWaitSeconds);
  } catch (const std::system_error&) {
    shell_.close();
    return false;
  }
  return true;
}

void ShellRunner::stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  stopped_.notify_all();
  if (reader_.joinable()) reader_.join();
  shell_.close();
}

bool ShellRunner::stopRequested() {
  std::lock_guard lock(mutex_);
  return stop_;
}

void ShellRunner::readLoop(int firstWaitSeconds) {
  while (!stopRequested()) {
    bool ended = false;
    int wait = firstWaitSeconds;
    for (;;) {
      char text[256] = {};
      size_t size = sizeof text - 1;
      bool timedOut = false;
      bool received = shell_.receive(text, &size, wait, &timedOut);
      wait = 0;
      if (!received || size == 0) {
        // Silence ends the pass; anything else means the shell is over.
        ended = !timedOut;
        break;
      }
      debugOutput(text);
      if (size != sizeof text - 1) break;
    }
    if (ended) {
      // Nothing more will come: wait for the stop instead of polling a
      // stream that answers at once with its end.
      std::unique_lock lock(mutex_);
      stopped_.wait(lock, [this] { return stop_; });
    }
  }
}

}  // namespace tavrin
