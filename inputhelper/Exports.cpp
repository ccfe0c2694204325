// The library's two exports; everything else stays inside (see exports.map).
#include "adb/AdbConnection.h"
#include "inputhelper/CADBDevice.h"
#include "inputhelper/CADBManager.h"
#include "inputhelper/LightCom.h"

namespace {

using namespace tavrin;

const LightCom::ObjectEntry objects[] = {
    {&IID_IADBManager, &LightCom::createObject<CADBManager>},
    {&IID_IADBDevice, &LightCom::createObject<CADBDevice>},
    {nullptr, nullptr},
};

// Networking follows the library's load and unload.
struct ModuleNetworking {
  ModuleNetworking() { startNetworking(); }
  ~ModuleNetworking() { stopNetworking(); }
} moduleNetworking;

}  // namespace

extern "C" __attribute__((visibility("default"))) tavrin::HRESULT DllCreateObject(const tavrin::GUID* id,
                                                                                   void** object,
                                                                                   int32_t flag) {
  return LightCom::guarded([&] { return LightCom::CreateFromTable(objects, id, object, flag); });
}

extern "C" __attribute__((visibility("default"))) tavrin::HRESULT DllCanUnloadNow() { return tavrin::S_OK; }
