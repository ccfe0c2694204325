#include "inputhelper/tests/InputHelperLibrary.h"

namespace tavrin::test {

InputHelperLibrary::InputHelperLibrary() {
  if (library_.open(std::string(TAVRIN_BIN_DIR) + "/" + INPUT_HELPER_LIBRARY))
    create_ = library_.function<DllCreateObjectFn>("DllCreateObject");
}

IADBManager* InputHelperLibrary::manager() const {
  void* object = nullptr;
  if (!create_ || create_(&IID_IADBManager, &object, 0) != S_OK) return nullptr;
  return static_cast<IADBManager*>(object);
}

}  // namespace tavrin::test
