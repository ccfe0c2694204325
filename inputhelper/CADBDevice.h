#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "adb/AdbConnection.h"
#include "inputhelper/InputHelperApi.h"
#include "inputhelper/LightCom.h"
#include "inputhelper/ShellRunner.h"

namespace tavrin {

// Phone paths and commands of the USB start.
constexpr const char* INPUT_DAEMON_PATH = "/data/local/tmp/tavrininput";
constexpr int CONNECT_TRIES = 10;
constexpr int CONNECT_TRY_INTERVAL_MS = 100;

// One phone: touches and hardware keys through the input daemon's command
// frames, text and navigation keys through the monkey server's text
// commands (USB start only).
//
// Calls may come from two client threads at once (the warm-up tap overlaps
// the first user input), so each connection's request/reply exchange is
// serialised; the runners' threads touch only their own runner.
class CADBDevice : public IADBDevice, public LightCom::CUnknownBase {
 public:
  using Interface = IADBDevice;
  static const GUID& interfaceId() { return IID_IADBDevice; }

  HRESULT Touch(int32_t x, int32_t y, int32_t action) override;
  HRESULT MultiTouch(int32_t count, const int32_t* ids, const int32_t* xs, const int32_t* ys,
                     int32_t action) override;
  HRESULT MultiTouchPoints(int32_t count, const tagID_POINTW* points, int32_t action) override;
  HRESULT PressKey(int32_t keyCode) override;
  HRESULT IsKeySupported(int32_t keyCode) override;
  HRESULT TypeChar(char c) override;
  HRESULT PressSpecialKey(int32_t key) override;

  // Forwards the daemon and monkey ports of phone `serial`, starts both
  // programs through held adb shells and connects to them.
  bool startUsb(const char* serial);
  // Connects to an input daemon already reachable at host:port.
  bool startDirect(const char* host, int32_t port);

 protected:
  CADBDevice() = default;
  // Closes both paths and ends both shells.
  ~CADBDevice();

 private:
  // One command frame and its reply; true when a well-formed reply came,
  // with its status in `status`.
  bool exchange(uint32_t command, const uint8_t* payload, size_t size, uint32_t* status);
  bool exchangeOk(uint32_t command, const uint8_t* payload, size_t size);
  HRESULT sendContacts(int32_t count, const int32_t* ids, const int32_t* xs, const int32_t* ys,
                       const tagID_POINTW* points, int32_t action);
  bool monkeyExchange(const std::string& command);
  bool monkeyCommands(const std::vector<std::string>& commands);
  bool connectToDaemon(const char* host, int32_t port);
  bool wakeMonkey(int32_t port);

  AdbConnection request_;
  std::string serial_;
  ShellRunner daemonRunner_;
  std::mutex daemonMutex_;
  AdbConnection daemon_;  // guarded by daemonMutex_ once started
  ShellRunner monkeyRunner_;
  std::mutex monkeyMutex_;
  AdbConnection monkey_;  // guarded by monkeyMutex_ once started
};

}  // namespace tavrin
