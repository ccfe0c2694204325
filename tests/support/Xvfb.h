#pragma once

#include <string>

#include "tests/support/ChildProcess.h"

namespace tavrin::test {

// A private X server for one test: Xvfb on a free display number chosen by
// the server itself (-displayfd). Stopped when this goes away.
class Xvfb {
 public:
  explicit Xvfb(int width = 1280, int height = 1024, int depth = 24);
  ~Xvfb();
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;

  bool ok() const { return !display_.empty(); }
  // ":N"
  const std::string& display() const { return display_; }
  void stop();

 private:
  ChildProcess server_;
  std::string display_;
};

}  // namespace tavrin::test
