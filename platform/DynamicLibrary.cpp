#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

namespace tavrin {

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

bool DynamicLibrary::open(const std::string& path) {
  close();
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* e = dlerror();
    error_ = e ? e : "dlopen failed";
  }
  return handle_ != nullptr;
}

void* DynamicLibrary::symbol(const char* name) const {
  if (!handle_) return nullptr;
  void* s = dlsym(handle_, name);
  if (!s) {
    const char* e = dlerror();
    error_ = e ? e : "symbol not found";
  }
  return s;
}

void DynamicLibrary::close() {
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace tavrin
