#pragma once

#include <string>
#include <vector>

#include "adb/AdbConnection.h"
#include "inputhelper/InputHelperApi.h"
#include "inputhelper/LightCom.h"

namespace tavrin {

// The phones of the local adb server; opens device objects for them. The
// list is read again on every call, so it follows what is attached now.
class CADBManager : public IADBManager, public LightCom::CUnknownBase {
 public:
  using Interface = IADBManager;
  static const GUID& interfaceId() { return IID_IADBManager; }

  HRESULT GetDeviceCount(int32_t* count) override;
  HRESULT GetDeviceSerial(uint32_t index, wchar_t* serial, uint32_t size) override;
  HRESULT OpenDevice(uint32_t index, IADBDevice** device) override;
  HRESULT ConnectDevice(const char* host, int32_t port, IADBDevice** device) override;

 protected:
  CADBManager() = default;
  ~CADBManager() = default;

 private:
  HRESULT enumerate(int32_t* count);

  std::vector<std::string> devices_;  // serials as the adb server sends them
  AdbConnection connection_;
};

}  // namespace tavrin
