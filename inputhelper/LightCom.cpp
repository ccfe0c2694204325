#include "inputhelper/LightCom.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <string>

namespace LightCom {

using namespace tavrin;

HRESULT CreateFromTable(const ObjectEntry* table, const GUID* id, void** object, int32_t flag) {
  if (!object) return E_POINTER;
  if (*object) {
    static_cast<IUnknown*>(*object)->Release();
    *object = nullptr;
  }
  if (!id || !table) return E_FAIL;
  const ObjectEntry* entry = table;
  while (entry->create && !(*entry->id == *id)) ++entry;
  if (!entry->create) return E_FAIL;

  IUnknown* created = entry->create();
  if (!created) return E_FAIL;
  if (flag != 0) {
    *object = created;
    return S_OK;
  }
  HRESULT result = created->QueryInterface(*id, object);
  created->Release();
  return result;
}

namespace {

// The file of the module this code is linked into, resolved.
std::string thisModulePath() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&thisModulePath), &info) || !info.dli_fname) return {};
  char resolved[PATH_MAX];
  if (!realpath(info.dli_fname, resolved)) return {};
  return resolved;
}

}  // namespace

HRESULT CreateInstance(const char* moduleName, const GUID& id, void** object) {
  std::string path = thisModulePath();
  if (path.empty()) return CO_E_DLLNOTFOUND;
  if (moduleName && *moduleName) path = path.substr(0, path.rfind('/') + 1) + moduleName;

  // Never closed: objects of the module may live as long as the process.
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!module) module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) return CO_E_DLLNOTFOUND;
  auto create = reinterpret_cast<DllCreateObjectFn>(dlsym(module, "DllCreateObject"));
  if (!create) return E_FAIL;
  return create(&id, object, 0);
}

}  // namespace LightCom
