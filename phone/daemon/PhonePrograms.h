#pragma once

#include <cstdint>

#include "phone/daemon/DaemonCommands.h"

namespace tavrin {

// The capture server and the input daemon, started from the phone directory
// as children of the daemon and stopped by finding them in /proc.
class PhonePrograms : public IProgramControl {
 public:
  // tavrinmirror --s WxH --b BITRATE
  bool startMirror(int32_t width, int32_t height, int32_t bitRate) override;
  // tavrininput PORT
  bool startInput(int32_t port) override;
  // SIGTERM to the first process running the program; true when none runs.
  bool stopMirror() override;
  bool stopInput() override;
};

}  // namespace tavrin
