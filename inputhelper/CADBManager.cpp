#include "inputhelper/CADBManager.h"

#include "inputhelper/CADBDevice.h"
#include "inputhelper/WideText.h"

namespace tavrin {

namespace {

// A new, idle device object, made through the module's own export.
CADBDevice* newDevice() {
  void* object = nullptr;
  if (LightCom::CreateInstance(nullptr, IID_IADBDevice, &object) != S_OK || !object) return nullptr;
  return static_cast<CADBDevice*>(static_cast<IADBDevice*>(object));
}

}  // namespace

HRESULT CADBManager::enumerate(int32_t* count) {
  std::vector<std::string> serials;
  if (!connection_.listDevicesConnected(serials)) return E_FAIL;
  devices_ = std::move(serials);
  *count = int32_t(devices_.size());
  return S_OK;
}

HRESULT CADBManager::GetDeviceCount(int32_t* count) {
  return LightCom::guarded([&] { return count ? enumerate(count) : E_FAIL; });
}

HRESULT CADBManager::GetDeviceSerial(uint32_t index, wchar_t* serial, uint32_t size) {
  return LightCom::guarded([&] {
    if (!serial || size == 0) return E_FAIL;
    int32_t count = 0;
    if (enumerate(&count) != S_OK || index >= uint32_t(count)) return E_FAIL;
    copyTerminated(utf8ToWide(devices_[index]), serial, size);
    return S_OK;
  });
}

HRESULT CADBManager::OpenDevice(uint32_t index, IADBDevice** device) {
  return LightCom::guarded([&] {
    if (!device) return E_FAIL;
    *device = nullptr;
    int32_t count = 0;
    if (enumerate(&count) != S_OK || index >= uint32_t(count) || devices_[index].empty()) return E_FAIL;
    CADBDevice* created = newDevice();
    if (!created) return E_FAIL;
    if (!created->startUsb(devices_[index].c_str())) {
      created->Release();
      return E_FAIL;
    }
    *device = created;
    return S_OK;
  });
}

HRESULT CADBManager::ConnectDevice(const char* host, int32_t port, IADBDevice** device) {
  return LightCom::guarded([&] {
    if (!device) return E_FAIL;
    *device = nullptr;
    if (!host || port <= 0 || port > 65535) return E_FAIL;
    CADBDevice* created = newDevice();
    if (!created) return E_FAIL;
    if (!created->startDirect(host, port)) {
      created->Release();
      return E_FAIL;
    }
    *device = created;
    return S_OK;
  });
}

}  // namespace tavrin
