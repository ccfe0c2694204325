#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "adb/AdbConnection.h"

namespace tavrin {

// Holds one adb shell open so that the command it started keeps running on
// the phone, and passes what the command prints to the debug output from a
// reader thread of its own. Closing the shell ends the command.
class ShellRunner {
 public:
  ShellRunner() = default;
  ~ShellRunner() { stop(); }
  ShellRunner(const ShellRunner&) = delete;
  ShellRunner& operator=(const ShellRunner&) = delete;

  // Runs `command` on phone `serial` through the adb server and starts the
  // reader, whose first receive of each pass waits `firstWaitSeconds`. With
  // `requiredFile`, that file must exist on the phone first.
  bool start(const char* serial, const char* command, int firstWaitSeconds,
             const char* requiredFile = nullptr);
  // Ends the reader (it notices within one first wait, at once when the
  // phone already closed the shell) and closes the shell. Harmless when idle.
  void stop();
  bool running() const { return reader_.joinable(); }

 private:
  void readLoop(int firstWaitSeconds);
  bool stopRequested();

  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stop_ = false;  // guarded by mutex_
  AdbConnection shell_;  // the reader's alone while it runs
  std::thread reader_;
};

}  // namespace tavrin
