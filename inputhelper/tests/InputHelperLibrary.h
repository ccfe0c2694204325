#pragma once

#include <string>

#include "inputhelper/InputHelperApi.h"
#include "platform/DynamicLibrary.h"

namespace tavrin::test {

// libtavrininputhelper.so of this build, loaded the way the client loads it.
class InputHelperLibrary {
 public:
  InputHelperLibrary();
  bool ok() const { return create_ != nullptr; }
  const std::string& error() const { return library_.error(); }
  HRESULT create(const GUID* id, void** object, int32_t flag = 0) const { return create_(id, object, flag); }
  // A manager through DllCreateObject(IID_IADBManager, flag 0), or null.
  IADBManager* manager() const;
  DllCanUnloadNowFn canUnloadNow() const { return library_.function<DllCanUnloadNowFn>("DllCanUnloadNow"); }

 private:
  DynamicLibrary library_;
  DllCreateObjectFn create_ = nullptr;
};

// Holds one reference and releases it when it goes.
template <typename T>
class Ref {
 public:
  explicit Ref(T* object = nullptr) : object_(object) {}
  ~Ref() { reset(); }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  T* get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Takes over `object`'s reference; releases what is held first.
  void attach(T* object) {
    reset();
    object_ = object;
  }
  // For out-parameters; releases what is held first.
  T** put() {
    reset();
    return &object_;
  }
  // The count left after the release (0: destroyed).
  uint32_t reset() {
    uint32_t left = object_ ? object_->Release() : 0;
    object_ = nullptr;
    return left;
  }

 private:
  T* object_;
};

}  // namespace tavrin::test
