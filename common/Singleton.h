#pragma once

namespace tavrin {

// One process-wide instance per class, made on first use and never destroyed
// before the process ends (other threads may still use it during exit).
template <typename T>
class Singleton {
 public:
  static T& instance() {
    static T* object = new T();
    return *object;
  }
  Singleton() = delete;
};

}  // namespace tavrin
