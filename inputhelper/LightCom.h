#pragma once

// A minimal COM-like object framework: reference counting, the query
// operation, the table of creatable objects behind DllCreateObject, and the
// loader that reaches a module's DllCreateObject.

#include <atomic>
#include <new>

#include "inputhelper/InputHelperApi.h"

namespace LightCom {

using tavrin::GUID;
using tavrin::HRESULT;

// Second base of every object: hooks around its life.
class CUnknownBase {
 public:
  // Runs right after construction; a negative result makes creation fail.
  virtual HRESULT FinalConstruct() { return tavrin::S_OK; }
  // Runs when the last reference goes, before the destructor.
  virtual void FinalRelease() {}

 protected:
  ~CUnknownBase() = default;
};

// An object of class T (bases: its interface T::Interface first, then
// CUnknownBase) with the IUnknown operations. Created with one reference.
// The count is atomic although callers are asked to use an object from one
// thread: the client's warm-up tap thread may overlap its main thread.
template <typename T>
class CUnknow final : public T {
 public:
  CUnknow() = default;
  // Right after the interface's operations in the table.
  virtual ~CUnknow() = default;

  HRESULT QueryInterface(const GUID& iid, void** object) override {
    if (!object) return tavrin::E_POINTER;
    *object = nullptr;
    if (!(iid == tavrin::IID_IUnknown) && !(iid == T::interfaceId())) return tavrin::E_NOTIMPL;
    AddRef();
    *object = static_cast<typename T::Interface*>(this);
    return tavrin::S_OK;
  }

  uint32_t AddRef() override { return uint32_t(++references_); }

  uint32_t Release() override {
    int32_t left = --references_;
    if (left == 0) {
      this->FinalRelease();
      delete this;
    }
    return uint32_t(left);
  }

  // A new object holding one reference, or null when allocation or the
  // post-construction hook failed.
  static CUnknow* create() {
    CUnknow* object = new (std::nothrow) CUnknow();
    if (!object) return nullptr;
    if (object->FinalConstruct() < 0) {
      delete object;
      return nullptr;
    }
    return object;
  }

 private:
  std::atomic<int32_t> references_{1};
};

// One row of the creatable-object table; the table ends with a row whose
// creator is null. A creator returns the new object (one reference) as its
// IUnknown, or null.
struct ObjectEntry {
  const GUID* id;
  tavrin::IUnknown* (*create)();
};

template <typename T>
tavrin::IUnknown* createObject() {
  return static_cast<typename T::Interface*>(CUnknow<T>::create());
}

// Runs an operation body so that nothing it throws crosses the interface.
template <typename F>
HRESULT guarded(F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return tavrin::E_FAIL;
  }
}

// The DllCreateObject steps over `table`: an absent output is E_POINTER, an
// object already in it is released, an unknown id is E_FAIL; with flag 0 the
// new object is queried for `id` and the creation reference dropped, so the
// caller always ends up with exactly one reference.
HRESULT CreateFromTable(const ObjectEntry* table, const GUID* id, void** object, int32_t flag);

// Loads `moduleName` from the directory of the module that holds this
// loader (without a name: that module itself), keeps it loaded for the life
// of the process, and calls its DllCreateObject(id, object, 0).
// CO_E_DLLNOTFOUND without the module, E_FAIL without the export.
HRESULT CreateInstance(const char* moduleName, const GUID& id, void** object);

}  // namespace LightCom
