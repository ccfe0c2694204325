#include "platform/PhoneDir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tavrin {

std::string phoneDir() {
  const char* dir = std::getenv("TAVRIN_PHONE_DIR");
  return (dir && *dir) ? dir : "/data/local/tmp";
}

std::string phonePath(const std::string& name) { return phoneDir() + "/" + name; }

bool ensurePhoneDir() {
  std::error_code ec;
  const std::filesystem::path dir = phoneDir();
  std::filesystem::create_directories(dir, ec);
  return std::filesystem::is_directory(dir, ec);
}

}  // namespace tavrin
