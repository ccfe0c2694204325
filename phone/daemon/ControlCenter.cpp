#include "phone/daemon/ControlCenter.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "common/DaemonProtocol.h"
#include "phone/daemon/DaemonLog.h"
#include "platform/Log.h"

namespace tavrin {

namespace {

void closeSocket(std::atomic<int>& slot) {
  int fd = slot.exchange(-1);
  if (fd >= 0) {
    shutdown(fd, SHUT_RDWR);
    close(fd);
  }
}

// accept() errors that concern only the connection being accepted.
bool isTransientAcceptError(int error) {
  switch (error) {
    case EINTR:
    case EAGAIN:
    case ECONNABORTED:
    case EPROTO:
    case ENETDOWN:
    case ENOPROTOOPT:
    case EHOSTDOWN:
    case ENONET:
    case EHOSTUNREACH:
    case EOPNOTSUPP:
    case ENETUNREACH:
      return true;
    default:
      return false;
  }
}

}  // namespace

ControlCenter::~ControlCenter() { stop(); }

bool ControlCenter::init() {
  // Close-on-exec: the programs we start must not keep the command port.
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    logLine(DAEMON_LOG_TAG, "create socket failed.");
    return false;
  }
  listenSocket_ = fd;
  linger off{0, 0};
  int one = 1;
  timeval sendTimeout{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &off, sizeof off);
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(uint16_t(port_));
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    logLine(DAEMON_LOG_TAG, "bind failed.");
    closeSocket(listenSocket_);
    return false;
  }
  if (listen(fd, 5) != 0) {
    logLine(DAEMON_LOG_TAG, "listen failed.");
    closeSocket(listenSocket_);
    return false;
  }
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &off, sizeof off);
  return true;
}

void ControlCenter::stop() {
  stopFlag_ = true;
  closeSocket(clientSocket_);
  closeSocket(listenSocket_);
}

void ControlCenter::closeClient() { closeSocket(clientSocket_); }

bool ControlCenter::run() {
  while (!stopFlag_) {
    pollfd fds[2];
    nfds_t count = 0;
    int listenFd = listenSocket_;
    int clientFd = clientSocket_;
    if (listenFd < 0) break;
    fds[count++] = {listenFd, POLLIN, 0};
    if (clientFd >= 0) fds[count++] = {clientFd, POLLIN, 0};
    logLine(DAEMON_LOG_TAG, "select ...");
    int r = poll(fds, count, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      logLine(DAEMON_LOG_TAG, "ControlCenter error: %d, exit.", errno);
      return false;
    }
    if (stopFlag_) break;
    // The connection that is already here goes first.
    if (count == 2 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
      logLine(DAEMON_LOG_TAG, "work...");
      work();
    }
    if (fds[0].revents & POLLIN) {
      int client = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) {
        if (isTransientAcceptError(errno)) continue;
        logLine(DAEMON_LOG_TAG, "ControlCenter error: %d, exit.", errno);
        return false;
      }
      // A connection that never sent its command gives way to the new one,
      // rather than being forgotten with its socket still open.
      closeClient();
      clientSocket_ = client;
    }
  }
  return true;
}

bool ControlCenter::readAll(void* data, size_t size) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    ssize_t n = recv(clientSocket_, p, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= size_t(n);
  }
  return true;
}

bool ControlCenter::sendAll(const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = send(clientSocket_, p, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= size_t(n);
  }
  return true;
}

void ControlCenter::work() {
  uint8_t header[DAEMON_HEADER_SIZE];
  bool ok = false;
  if (readAll(header, sizeof header)) {
    uint32_t command = getLittleEndian32(header);  // the length word is not used
    logLine(DAEMON_LOG_TAG, "Do work, CMD:0x%08X", command);
    ok = handleDaemonCommand(
        command, [this](void* data, size_t size) { return readAll(data, size); }, programs_);
  }
  logLine(DAEMON_LOG_TAG, ok ? "Do work success." : "Do work failed.");
  sendAll(ok ? DAEMON_REPLY_SUCCESS : DAEMON_REPLY_FAILURE, DAEMON_REPLY_SIZE);
  closeClient();
}

}  // namespace tavrin
