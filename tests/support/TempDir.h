#pragma once

#include <string>

namespace tavrin::test {

// A fresh directory under /tmp, removed with its contents when this goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

bool writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);

}  // namespace tavrin::test
