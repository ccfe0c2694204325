#include "tests/support/TestNet.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

namespace tavrin::test {

Listener::Listener(int port) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  int one = 1;
  setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(uint16_t(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd_, 16) != 0 ||
      getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    close();
    return;
  }
  port_ = ntohs(a.sin_port);
}

Listener::~Listener() { close(); }

void Listener::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int Listener::accept(std::chrono::milliseconds timeout) {
  if (fd_ < 0) return -1;
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, int(timeout.count())) <= 0) return -1;
  return ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
}

int connectLoopback(int port, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
    ::close(fd);
    if (std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool sendAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size) {
    ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    p += n;
    size -= size_t(n);
  }
  return true;
}

bool recvExact(int fd, void* data, size_t size, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  char* p = static_cast<char*>(data);
  while (size) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd pf{fd, POLLIN, 0};
    if (poll(&pf, 1, int(left.count())) <= 0) continue;
    ssize_t n = recv(fd, p, size, 0);
    if (n <= 0) return false;
    p += n;
    size -= size_t(n);
  }
  return true;
}

int freePort() {
  Listener l(0);
  return l.port();
}

bool isListening(int port) {
  for (const char* file : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
      std::istringstream s(line);
      std::string slot, local, remote, state;
      s >> slot >> local >> remote >> state;
      size_t colon = local.rfind(':');
      if (colon == std::string::npos || state != "0A") continue;
      if (std::stoi(local.substr(colon + 1), nullptr, 16) == port) return true;
    }
  }
  return false;
}

bool waitListening(int port, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!isListening(port)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace tavrin::test
