#pragma once

#include <string>

namespace tavrin {

// A run-time loaded shared library; unloaded when this goes away.
class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary() { close(); }
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;
  DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;

  bool open(const std::string& path);
  bool isOpen() const { return handle_ != nullptr; }
  void* symbol(const char* name) const;
  template <typename Fn>
  Fn function(const char* name) const { return reinterpret_cast<Fn>(symbol(name)); }
  void close();
  // dlerror()'s text of the last failure.
  const std::string& error() const { return error_; }

 private:
  void* handle_ = nullptr;
  mutable std::string error_;
};

}  // namespace tavrin
