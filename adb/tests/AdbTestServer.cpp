#include "adb/tests/AdbTestServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "tests/support/ChildProcess.h"

namespace tavrin::test {

namespace {

using namespace std::chrono_literals;

bool writeAll(int fd, const std::string& bytes) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::send(fd, p, left, MSG_NOSIGNAL);
    if (n <= 0) return false;
    p += n;
    left -= size_t(n);
  }
  return true;
}

std::string hex4(size_t n) {
  char digits[5];
  snprintf(digits, sizeof digits, "%04x", unsigned(n & 0xFFFF));
  return digits;
}

bool sendFail(int fd, const std::string& message) {
  return writeAll(fd, "FAIL") && writeAll(fd, hex4(message.size()) + message);
}

// Reads exactly size bytes; false when the peer closes or the server stops.
bool readExact(int fd, char* out, size_t size, const std::atomic<bool>& stopping) {
  while (size > 0) {
    if (stopping) return false;
    pollfd p{fd, POLLIN, 0};
    int r = poll(&p, 1, 100);
    if (r < 0 && errno != EINTR) return false;
    if (r <= 0) continue;
    ssize_t n = ::recv(fd, out, size, 0);
    if (n <= 0) return false;
    out += n;
    size -= size_t(n);
  }
  return true;
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

AdbTestServer::ShellStream::ShellStream(int fd, std::string serial, std::string command,
                                        const std::atomic<bool>& stopping)
    : fd_(fd), serial_(std::move(serial)), command_(std::move(command)), stopping_(stopping) {}

bool AdbTestServer::ShellStream::write(const std::string& bytes) { return writeAll(fd_, bytes); }

bool AdbTestServer::ShellStream::waitClientClosed(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (stopping_) return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{fd_, POLLIN, 0};
    int r = poll(&p, 1, int(std::clamp<long long>(left.count(), 0, 100)));
    if (r > 0) {
      char scratch[512];
      ssize_t n = ::recv(fd_, scratch, sizeof scratch, 0);
      if (n <= 0) return true;
      continue;
    }
    if (left.count() <= 0) return false;
  }
}

AdbTestServer::AdbTestServer() {
  if (listener_.ok()) acceptThread_ = std::thread(&AdbTestServer::acceptLoop, this);
}

AdbTestServer::~AdbTestServer() {
  stopping_ = true;
  if (acceptThread_.joinable()) acceptThread_.join();
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mutex_);
    for (int fd : openFds_) shutdown(fd, SHUT_RDWR);
    threads.swap(connections_);
  }
  for (auto& t : threads) t.join();
}

std::map<std::string, std::string> AdbTestServer::env() const {
  return {{"ANDROID_ADB_SERVER_PORT", std::to_string(listener_.port())}};
}

void AdbTestServer::setDevices(std::vector<Device> devices) {
  std::lock_guard lock(mutex_);
  devices_ = std::move(devices);
}

void AdbTestServer::setDeviceListText(std::optional<std::string> text) {
  std::lock_guard lock(mutex_);
  deviceListText_ = std::move(text);
}

void AdbTestServer::addFile(const std::string& path) {
  std::lock_guard lock(mutex_);
  files_.push_back(path);
}

void AdbTestServer::setShellOutput(const std::string& command, const std::string& output) {
  std::lock_guard lock(mutex_);
  shellOutputs_[command] = output;
}

void AdbTestServer::setShellHandler(ShellHandler handler) {
  std::lock_guard lock(mutex_);
  shellHandler_ = std::move(handler);
}

std::vector<std::string> AdbTestServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<AdbTestServer::Forward> AdbTestServer::forwards() const {
  std::lock_guard lock(mutex_);
  return forwards_;
}

bool AdbTestServer::waitOpenShells(int count, std::chrono::milliseconds timeout) const {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (openShells_ != count) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

void AdbTestServer::acceptLoop() {
  while (!stopping_) {
    int fd = listener_.accept(100ms);
    if (fd < 0) continue;
    std::lock_guard lock(mutex_);
    openFds_.push_back(fd);
    connections_.emplace_back(&AdbTestServer::serve, this, fd);
  }
}

bool AdbTestServer::deviceUsable(const std::string& serial, std::string* error) const {
  std::lock_guard lock(mutex_);
  for (const auto& d : devices_) {
    if (d.serial != serial) continue;
    if (d.state == "device") return true;
    *error = "device " + d.state;
    return false;
  }
  *error = "device '" + serial + "' not found";
  return false;
}

void AdbTestServer::serve(int fd) {
  std::string bound;  // serial after a transport request
  for (;;) {
    char digits[5] = {};
    if (!readExact(fd, digits, 4, stopping_)) break;
    char* end = nullptr;
    unsigned long size = std::strtoul(digits, &end, 16);
    if (end != digits + 4) break;
    std::string payload(size, '\0');
    if (size && !readExact(fd, payload.data(), size, stopping_)) break;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(payload);
    }

    std::string error;
    if (payload == "host:devices") {
      std::string text;
      {
        std::lock_guard lock(mutex_);
        if (deviceListText_) {
          text = *deviceListText_;
        } else {
          for (const auto& d : devices_) text += d.serial + "\t" + d.state + "\n";
        }
      }
      // Status and block in two writes, as the real server sends them.
      writeAll(fd, "OKAY");
      writeAll(fd, hex4(text.size()) + text);
      break;
    }
    if (payload == "host:version") {
      writeAll(fd, "OKAY");
      writeAll(fd, "00040029");
      break;
    }
    if (startsWith(payload, "host:transport:")) {
      std::string serial = payload.substr(15);
      if (!deviceUsable(serial, &error)) {
        sendFail(fd, error);
        break;
      }
      bound = serial;
      writeAll(fd, "OKAY");
      continue;
    }
    if (startsWith(payload, "host-serial:")) {
      // host-serial:<serial>:forward:tcp:<pc>;tcp:<phone>
      std::string rest = payload.substr(12);
      size_t colon = rest.find(":forward:");
      int pc = 0, phone = 0;
      char tail = 0;
      if (colon == std::string::npos ||
          sscanf(rest.c_str() + colon + 9, "tcp:%d;tcp:%d%c", &pc, &phone, &tail) != 2) {
        sendFail(fd, "unknown host service");
        break;
      }
      std::string serial = rest.substr(0, colon);
      if (!deviceUsable(serial, &error)) {
        sendFail(fd, error);
        break;
      }
      {
        std::lock_guard lock(mutex_);
        forwards_.push_back({serial, pc, phone});
      }
      writeAll(fd, "OKAY");
      writeAll(fd, "OKAY");
      break;
    }
    if (startsWith(payload, "shell:")) {
      if (bound.empty()) {
        sendFail(fd, "no devices/emulators found");
        break;
      }
      writeAll(fd, "OKAY");
      ++openShells_;
      answerShell(fd, bound, payload.substr(6));
      --openShells_;
      break;
    }
    sendFail(fd, "unknown host service");
    break;
  }
  std::lock_guard lock(mutex_);
  openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
  ::close(fd);
}

void AdbTestServer::answerShell(int fd, const std::string& serial, const std::string& command) {
  ShellStream stream(fd, serial, command, stopping_);
  ShellHandler handler;
  std::string output;
  {
    std::lock_guard lock(mutex_);
    handler = shellHandler_;
    auto fixed = shellOutputs_.find(command);
    if (fixed != shellOutputs_.end()) {
      output = fixed->second;
    } else if (startsWith(command, "ls -l ")) {
      std::string path = command.substr(6);
      if (std::find(files_.begin(), files_.end(), path) != files_.end()) {
        std::string name = path.substr(path.rfind('/') + 1);
        output = "-rwxr-xr-x shell    shell     1048576 2020-01-01 00:00 " + name + "\n";
      } else {
        output = path + ": No such file or directory\n";
      }
    } else {
      output = "/system/bin/sh: " + command + ": not found\n";
    }
  }
  if (handler && handler(stream)) return;
  stream.write(output);
}

AdbTestServer::ShellHandler runPrograms(
    std::function<std::optional<ShellProgram>(const std::string& command)> pick) {
  return [pick](AdbTestServer::ShellStream& stream) {
    auto program = pick(stream.command());
    if (!program) return false;
    ChildProcess child;
    if (!child.start(program->argv, program->env)) {
      stream.write("/system/bin/sh: " + stream.command() + ": can't execute\n");
      return true;
    }
    for (;;) {
      if (stream.stopping() || stream.waitClientClosed(0ms)) break;  // ~ChildProcess ends it
      auto line = child.readLine(50ms);
      if (line) {
        if (!stream.write(*line + "\n")) break;
        continue;
      }
      if (!child.running()) {
        stream.write(child.readAll(100ms));
        break;
      }
      std::this_thread::sleep_for(20ms);  // output closed, program still running
    }
    return true;
  };
}

}  // namespace tavrin::test
