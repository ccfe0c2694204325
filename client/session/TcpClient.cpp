#include "client/session/TcpClient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/SocketErrors.h"

namespace tavrin {

namespace {

bool waitReady(int fd, short events, int timeoutMs, short* revents) {
  pollfd p{fd, events, 0};
  int r;
  do {
    r = poll(&p, 1, timeoutMs);
  } while (r < 0 && errno == EINTR && timeoutMs == 0);
  if (revents) *revents = p.revents;
  return r > 0;
}

}  // namespace

TcpClient::~TcpClient() { stop(); }

void TcpClient::stop() {
  if (stopped_) return;
  stopped_ = true;
  stopFlag_ = 1;
  if (reader_.joinable()) reader_.join();
  if (callback_) callback_->onStopped();
  closeSocket();
}

void TcpClient::closeSocket() {
  int fd = socket_.exchange(-1);
  if (fd >= 0) {
    shutdown(fd, SHUT_RDWR);
    ::close(fd);
  }
}

void TcpClient::closeOnFatalError(int error) {
  if (isFatalSocketError(error)) closeSocket();
}

bool TcpClient::connect(int port, const char* host) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  const char* text = (host && *host) ? host : "127.0.0.1";
  if (inet_pton(AF_INET, text, &address.sin_addr) != 1) return false;

  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  auto fail = [fd] {
    shutdown(fd, SHUT_RDWR);
    ::close(fd);
    return false;
  };
  // Non-blocking only for the connect, so an unreachable host cannot hang us.
  int flags = fcntl(fd, F_GETFL);
  fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (errno != EINPROGRESS) return fail();
    pollfd p{fd, POLLOUT, 0};
    int r;
    do {
      r = poll(&p, 1, int(CONNECT_TIMEOUT.count()));
    } while (r < 0 && errno == EINTR);
    if (r <= 0) return fail();
    int error = 0;
    socklen_t len = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) return fail();
  }
  fcntl(fd, F_SETFL, flags);
  int old = socket_.exchange(fd);
  if (old >= 0) ::close(old);
  stopped_ = false;
  return true;
}

bool TcpClient::start(int port, const char* host) {
  stopFlag_ = 0;
  if (!connect(port, host)) return false;
  if (callback_) callback_->onConnected();
  try {
    reader_ = std::thread(&TcpClient::readerLoop, this);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

bool TcpClient::setReadLowWater(int bytes) {
  int fd = socket_.load();
  if (fd < 0 || bytes < 1) return false;
  return setsockopt(fd, SOL_SOCKET, SO_RCVLOWAT, &bytes, sizeof bytes) == 0;
}

uint32_t TcpClient::bytesAvailable() {
  int fd = socket_.load();
  int count = 0;
  if (fd < 0 || ioctl(fd, FIONREAD, &count) != 0 || count < 0) return 0;
  return static_cast<uint32_t>(count);
}

bool TcpClient::read(uint8_t* buffer, size_t* length) {
  int fd = socket_.load();
  if (fd < 0 || !buffer || !length) return false;
  short revents = 0;
  if (!waitReady(fd, POLLIN, 0, &revents)) return false;
  ssize_t n = recv(fd, buffer, *length, MSG_DONTWAIT);
  if (n < 0) {
    closeOnFatalError(errno);
    return false;
  }
  if (size_t(n) > *length) return false;
  *length = size_t(n);
  return true;
}

bool TcpClient::readAvailable(std::vector<uint8_t>& out) {
  uint32_t count = bytesAvailable();
  if (count == 0) return false;
  out.resize(count);
  size_t length = count;
  if (!read(out.data(), &length)) return false;
  out.resize(length);
  return true;
}

bool TcpClient::write(const uint8_t* buffer, size_t* length) {
  int fd = socket_.load();
  if (fd < 0 || !buffer || !length) return false;
  if (!waitReady(fd, POLLOUT, 0, nullptr)) return false;
  ssize_t n = send(fd, buffer, *length, MSG_NOSIGNAL | MSG_DONTWAIT);
  if (n < 0) {
    closeOnFatalError(errno);
    return false;
  }
  if (size_t(n) > *length) return false;
  *length = size_t(n);
  return true;
}

void TcpClient::readerLoop() {
  while (stopFlag_.load() == 0) {
    int fd = socket_.load();
    if (fd < 0) break;
    // One-second wait so a stop is seen without closing the socket under us.
    pollfd p{fd, POLLIN | POLLRDHUP, 0};
    int r = poll(&p, 1, 1000);
    if (r <= 0 || !(p.revents & (POLLIN | POLLRDHUP | POLLHUP | POLLERR))) continue;
    if (stopFlag_.load() != 0) break;
    int count = 0;
    if (ioctl(fd, FIONREAD, &count) != 0 || count <= 0) {
      if (callback_) callback_->onDisconnected(1);
      return;
    }
    if (callback_) callback_->onDataReady();
    // The peer is gone and the owner cannot use what is left (it waits for
    // bytes that will never come): that is the end of the stream too.
    if (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) {
      int left = 0;
      int now = socket_.load();
      if (now < 0) break;
      if (ioctl(now, FIONREAD, &left) != 0 || left == count) {
        if (callback_) callback_->onDisconnected(1);
        return;
      }
    }
  }
}

}  // namespace tavrin
