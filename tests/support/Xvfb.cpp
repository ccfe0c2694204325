#include "tests/support/Xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>

namespace tavrin::test {

Xvfb::Xvfb(int width, int height, int depth) {
  int fds[2];
  if (pipe(fds) != 0) return;
  std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
  // The write end stays open in the child only; Xvfb writes its display number there.
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  bool started = server_.start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten",
                                "tcp", "+extension", "XTEST", "+extension", "DAMAGE", "-noreset"});
  close(fds[1]);
  if (!started) {
    close(fds[0]);
    return;
  }
  std::string number;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 200) <= 0) continue;
    char c;
    ssize_t n = read(fds[0], &c, 1);
    if (n <= 0) break;
    if (c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (number.empty()) {
    server_.kill();
    return;
  }
  display_ = ":" + number;
}

Xvfb::~Xvfb() { stop(); }

void Xvfb::stop() {
  server_.kill();
  display_.clear();
}

}  // namespace tavrin::test
