#include "phone/mirror/TcpServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

#include "phone/mirror/MirrorLog.h"

namespace tavrin::mirror {

namespace {

bool setSendOptions(int fd) {
  timeval timeout{1, 0};
  int one = 1;
  if (setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout) != 0 ||
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) != 0) {
    MIRROR_LOG("setsockopt failed: %d", errno);
    return false;
  }
  return true;
}

}  // namespace

TcpServer::~TcpServer() { close(); }

bool TcpServer::open(int port) {
  close();
  listenSocket_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenSocket_ < 0) {
    MIRROR_LOG("Error opening socket.");
    return false;
  }
  int one = 1;
  setsockopt(listenSocket_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(uint16_t(port));
  if (bind(listenSocket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    MIRROR_LOG("bind faild.");
    close();
    return false;
  }
  if (listen(listenSocket_, 1) != 0) {
    MIRROR_LOG("listen faild.");
    close();
    return false;
  }
  if (!setSendOptions(listenSocket_)) {
    close();
    return false;
  }
  return true;
}

bool TcpServer::waitForClient() {
  if (listenSocket_ < 0) return false;
  int fd;
  do {
    fd = accept4(listenSocket_, nullptr, nullptr, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  if (clientSocket_ >= 0) ::close(clientSocket_);
  clientSocket_ = fd;
  // Accepted sockets inherit these on Linux; set them anyway, cheaply.
  setSendOptions(clientSocket_);
  return true;
}

int64_t TcpServer::receive(uint8_t* buffer, size_t length) {
  if (clientSocket_ < 0) return -1;
  ssize_t n;
  do {
    n = recv(clientSocket_, buffer, length, 0);
  } while (n < 0 && errno == EINTR);
  return n;
}

int64_t TcpServer::send(const uint8_t* buffer, size_t length) {
  if (clientSocket_ < 0) return -1;
  size_t sent = 0;
  while (sent < length) {
    ssize_t n = ::send(clientSocket_, buffer + sent, length - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    // A time-out (the client stopped reading for a second) fails too.
    if (n <= 0) return -1;
    sent += size_t(n);
  }
  return int64_t(sent);
}

void TcpServer::close() {
  if (clientSocket_ >= 0) ::close(clientSocket_);
  if (listenSocket_ >= 0) ::close(listenSocket_);
  clientSocket_ = -1;
  listenSocket_ = -1;
}

}  // namespace tavrin::mirror
