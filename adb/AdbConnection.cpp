#include "adb/AdbConnection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/Ports.h"
#include "platform/SocketErrors.h"

namespace tavrin {

namespace {

std::atomic<bool> networking{false};

std::string formatCut(size_t size, const char* format, ...) __attribute__((format(printf, 2, 3)));
// printf into a buffer of `size` bytes: the text is cut to size - 1 bytes.
std::string formatCut(size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int needed = vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(needed > 0 ? size_t(needed) : 0, '\0');
  if (needed > 0) vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  return cutUtf8(std::move(text), size - 1);
}

bool parseHexLength(const char digits[4], size_t* value) {
  size_t v = 0;
  for (int i = 0; i < 4; ++i) {
    char c = digits[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * 16 + size_t(d);
  }
  *value = v;
  return true;
}

int remainingMs(std::chrono::steady_clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? int(left.count()) : 0;
}

}  // namespace

uint16_t adbServerPort() {
  const char* text = std::getenv("ANDROID_ADB_SERVER_PORT");
  if (text && *text) {
    char* end = nullptr;
    long port = std::strtol(text, &end, 10);
    if (end && *end == '\0' && port > 0 && port <= 65535) return uint16_t(port);
  }
  return uint16_t(ADB_SERVER_PORT);
}

bool startNetworking() {
  networking = true;
  return true;
}

void stopNetworking() { networking = false; }

bool networkingStarted() { return networking; }

std::string cutUtf8(std::string text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  // A cut inside a sequence drops that whole sequence.
  size_t end = maxBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

bool splitFields(const char* text, char separator, std::vector<std::string>& fields) {
  fields.clear();
  if (!text || !*text) return false;
  const size_t limit = AdbConnection::FIELD_SIZE - 1;
  std::string field;
  for (const char* p = text; *p; ++p) {
    if (*p == separator) {
      fields.push_back(cutUtf8(std::move(field), limit));
      field.clear();
    } else if (field.size() <= limit) {  // one byte past the limit tells cutUtf8 where a sequence ends
      field.push_back(*p);
    }
  }
  fields.push_back(cutUtf8(std::move(field), limit));
  return true;
}

AdbConnection::AdbConnection(AdbConnection&& other) noexcept : socket_(other.socket_) { other.socket_ = -1; }

AdbConnection& AdbConnection::operator=(AdbConnection&& other) noexcept {
  if (this != &other) {
    close();
    socket_ = other.socket_;
    other.socket_ = -1;
  }
  return *this;
}

bool AdbConnection::connect(uint16_t port, const char* host) {
  close();
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  const char* text = (host && *host) ? host : "127.0.0.1";
  if (inet_pton(AF_INET, text, &address.sin_addr) != 1) return false;

  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  socket_ = fd;
  // Non-blocking only while connecting, so an unreachable phone cannot hold
  // the caller for the system's minutes-long connect time-out.
  int flags = fcntl(fd, F_GETFL);
  fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (errno != EINPROGRESS || waitReady(POLLOUT, CONNECT_TIMEOUT_MS) != Wait::Ready) {
      close();
      return false;
    }
    int error = 0;
    socklen_t len = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
      close();
      return false;
    }
  }
  fcntl(fd, F_SETFL, flags);
  return true;
}

void AdbConnection::close() {
  if (socket_ < 0) return;
  shutdown(socket_, SHUT_RDWR);
  ::close(socket_);
  socket_ = -1;
}

void AdbConnection::closeOnFatalError(int error) {
  if (isFatalSocketError(error)) close();
}

AdbConnection::Wait AdbConnection::waitReady(short events, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    pollfd p{socket_, events, 0};
    int r = poll(&p, 1, remainingMs(deadline));
    if (r > 0) {
      if (p.revents & POLLNVAL) {
        closeOnFatalError(ENOTSOCK);
        return Wait::Failed;
      }
      return Wait::Ready;  // errors and hang-ups show in the send or receive call
    }
    if (r == 0) return Wait::TimedOut;
    if (errno != EINTR) return Wait::Failed;
    if (remainingMs(deadline) == 0) return Wait::TimedOut;
  }
}

bool AdbConnection::send(const void* buffer, size_t* length, int timeoutSeconds) {
  if (socket_ < 0 || !length) return false;
  if (waitReady(POLLOUT, std::max(timeoutSeconds, 0) * 1000) != Wait::Ready) return false;
  ssize_t n = ::send(socket_, buffer, *length, MSG_NOSIGNAL);
  if (n < 0) {
    closeOnFatalError(errno);
    return false;
  }
  *length = size_t(n);
  return true;
}

bool AdbConnection::receive(void* buffer, size_t* capacity, int timeoutSeconds, bool* timedOut) {
  if (timedOut) *timedOut = false;
  if (socket_ < 0 || !capacity) return false;
  Wait w = waitReady(POLLIN, std::max(timeoutSeconds, 0) * 1000);
  if (w == Wait::TimedOut && timedOut) *timedOut = true;
  if (w != Wait::Ready) return false;
  ssize_t n = ::recv(socket_, buffer, *capacity, 0);
  if (n < 0) {
    closeOnFatalError(errno);
    return false;
  }
  *capacity = size_t(n);
  return true;
}

bool AdbConnection::sendAll(const void* buffer, size_t size, int timeoutSeconds) {
  size_t sent = size;
  return send(buffer, &sent, timeoutSeconds) && sent == size;
}

bool AdbConnection::receiveExact(void* buffer, size_t size, int timeoutSeconds) {
  // Status words and hex lengths may arrive split; each step has one budget.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  char* p = static_cast<char*>(buffer);
  while (size > 0) {
    if (socket_ < 0) return false;
    if (waitReady(POLLIN, remainingMs(deadline)) != Wait::Ready) return false;
    ssize_t n = ::recv(socket_, p, size, 0);
    if (n < 0) {
      closeOnFatalError(errno);
      return false;
    }
    if (n == 0) return false;
    p += n;
    size -= size_t(n);
  }
  return true;
}

bool AdbConnection::readStatus() {
  char status[4] = {};
  if (!receiveExact(status, sizeof status, STEP_TIMEOUT)) return false;
  if (std::memcmp(status, "OKAY", 4) == 0) return true;
  if (std::memcmp(status, "FAIL", 4) == 0) {
    char digits[4];
    size_t length = 0;
    if (receiveExact(digits, sizeof digits, STEP_TIMEOUT) && parseHexLength(digits, &length)) {
      char message[256];
      length = std::min<size_t>(length, 255);
      if (receiveExact(message, length, STEP_TIMEOUT)) message[length] = '\0';
    }
  }
  return false;
}

bool AdbConnection::sendRequest(const char* payload, char* reply, size_t* capacity) {
  if (!payload || socket_ < 0) return false;
  size_t size = std::strlen(payload);
  if (size > 0xFFFF) return false;
  char digits[5];
  snprintf(digits, sizeof digits, "%04x", unsigned(size));
  if (!sendAll(digits, 4, STEP_TIMEOUT) || !sendAll(payload, size, STEP_TIMEOUT)) return false;
  if (!readStatus()) return false;
  if (!reply || !capacity || *capacity == 0) return true;

  size_t length = 0;
  if (!receiveExact(digits, 4, STEP_TIMEOUT) || !parseHexLength(digits, &length)) return false;
  if (length > *capacity - 1) return false;
  if (!receiveExact(reply, length, STEP_TIMEOUT)) return false;
  reply[length] = '\0';
  *capacity = length;
  return true;
}

bool AdbConnection::selectTransport(const char* serial) {
  if (!serial) return false;
  std::string payload = std::string("host:transport:") + serial;
  return sendRequest(payload.c_str());
}

bool AdbConnection::listDevices(std::vector<std::string>& serials) {
  serials.clear();
  char reply[DEVICE_LIST_SIZE] = {};
  size_t capacity = sizeof reply;
  if (!sendRequest("host:devices", reply, &capacity)) return false;
  std::vector<std::string> lines;
  if (!splitFields(reply, '\n', lines)) return false;
  std::vector<std::string> fields;
  for (const auto& line : lines) {
    if (!splitFields(line.c_str(), '\t', fields) || fields.size() < 2) continue;
    if (fields[1] == "device" && fields[0].find("emulator") == std::string::npos)
      serials.push_back(fields[0]);
  }
  return true;
}

bool AdbConnection::listDevicesConnected(std::vector<std::string>& serials) {
  serials.clear();
  if (!connect(adbServerPort(), "127.0.0.1")) return false;
  bool ok = listDevices(serials);
  close();
  return ok;
}

bool AdbConnection::fileExists(const char* serial, const char* path) {
  if (!path || !selectTransport(serial)) return false;
  std::string request = formatCut(LS_REQUEST_SIZE, "shell:ls -l %s", path);
  if (!sendRequest(request.c_str())) return false;
  char answer[LS_REQUEST_SIZE] = {};
  size_t received = sizeof answer - 1;
  if (!receive(answer, &received, PROBE_TIMEOUT) || received == 0) return false;
  // A missing path makes the listing tool complain, naming the path first
  // ("PATH: No such file ...") or, in its newer form, after "ls: ".
  std::string text(answer, received);
  std::string name(path);
  if (text.compare(0, name.size(), name) == 0) return false;
  if (text.compare(0, 4 + name.size() + 1, "ls: " + name + ":") == 0) return false;
  return true;
}

bool AdbConnection::fileExistsConnected(const char* serial, const char* path) {
  if (!connect(adbServerPort(), "127.0.0.1")) return false;
  bool ok = fileExists(serial, path);
  close();
  return ok;
}

bool AdbConnection::runShell(const char* serial, const char* command, char* output, size_t capacity,
                             bool keep) {
  if (!command || !selectTransport(serial)) return false;
  std::string request = formatCut(SHELL_REQUEST_SIZE, "shell:%s", command);
  if (!sendRequest(request.c_str())) return false;
  return readToEnd(output, capacity, output ? 2 : 0, keep);
}

bool AdbConnection::runShellLauncher(const char* serial, const char* command, char* output,
                                     size_t capacity) {
  if (!connect(adbServerPort(), "127.0.0.1")) return false;
  bool ok = runShell(serial, command, output, capacity, false);
  close();
  return ok;
}

bool AdbConnection::readToEnd(char* output, size_t capacity, int timeoutSeconds, bool keep) {
  std::vector<char> scratch(std::max<size_t>(4096, capacity));
  // The last byte stays the caller's zero, so the output is always a text.
  size_t space = (output && capacity > 0) ? capacity - 1 : 0;
  size_t filled = 0;
  int timeout = std::max(timeoutSeconds, 0);
  for (;;) {
    size_t n = scratch.size();
    bool timedOut = false;
    if (!receive(scratch.data(), &n, timeout, &timedOut)) return timedOut || isOpen();
    bool last = (n == 0 || timeout == 0);
    if (output && space > 0) {
      size_t take = std::min(n, space);
      std::memcpy(output + filled, scratch.data(), take);
      filled += take;
      space -= take;
    }
    if (!keep) timeout >>= 1;
    if (last) return true;
  }
}

bool AdbConnection::addForward(const char* serial, int pcPort, int phonePort) {
  if (!serial) return false;
  std::string request =
      formatCut(FORWARD_REQUEST_SIZE, "host-serial:%s:forward:tcp:%d;tcp:%d", serial, pcPort, phonePort);
  if (!connect(adbServerPort(), "127.0.0.1")) return false;
  bool ok = sendRequest(request.c_str());
  close();
  return ok;
}

}  // namespace tavrin
