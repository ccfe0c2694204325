#include "phone/daemon/DaemonCommands.h"

#include "common/DaemonProtocol.h"
#include "phone/daemon/DaemonLog.h"
#include "platform/Log.h"

namespace tavrin {

bool handleDaemonCommand(uint32_t command, const DaemonDataReader& readData, IProgramControl& programs) {
  switch (command) {
    case DAEMON_CMD_PING:
      return true;
    case DAEMON_CMD_START_MIRROR: {
      logLine(DAEMON_LOG_TAG, "start tavrin mirror...");
      uint8_t data[DAEMON_MIRROR_DATA_SIZE];
      if (!readData(data, sizeof data)) {
        logLine(DAEMON_LOG_TAG, "read start param failed.");
        return false;
      }
      // The fourth value (frame rate) is not used.
      return programs.startMirror(int32_t(getLittleEndian32(data)), int32_t(getLittleEndian32(data + 4)),
                                  int32_t(getLittleEndian32(data + 8)));
    }
    case DAEMON_CMD_START_INPUT: {
      logLine(DAEMON_LOG_TAG, "start tavrin input...");
      uint8_t data[DAEMON_INPUT_DATA_SIZE];
      if (!readData(data, sizeof data)) {
        logLine(DAEMON_LOG_TAG, "read input param failed.");
        return false;
      }
      return programs.startInput(int32_t(getLittleEndian32(data)));
    }
    case DAEMON_CMD_STOP_MIRROR:
      logLine(DAEMON_LOG_TAG, "stop tavrin mirror...");
      return programs.stopMirror();
    case DAEMON_CMD_STOP_INPUT:
      logLine(DAEMON_LOG_TAG, "stop tavrin input...");
      return programs.stopInput();
    default:
      logLine(DAEMON_LOG_TAG, "unknown cmd.");
      return false;
  }
}

}  // namespace tavrin
