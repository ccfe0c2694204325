#include "phone/daemon/tests/DaemonHarness.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "common/DaemonProtocol.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestNet.h"

namespace tavrin::test {

using namespace std::chrono_literals;

DaemonHarness::DaemonHarness() {
  // Left missing on purpose: the daemon makes it.
  phoneDir_ = dir_.file("phone");
  logDir_ = dir_.file("log");
  mkdir(logDir_.c_str(), 0755);
}

DaemonHarness::~DaemonHarness() { Subreaper::killChildren(); }

DaemonHarness::Start DaemonHarness::start(const std::vector<std::string>& args,
                                          const std::map<std::string, std::string>& extraEnv) {
  std::vector<std::string> argv{std::string(TAVRIN_BIN_DIR) + "/tavrindaemon"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::map<std::string, std::string> env{{"TAVRIN_PHONE_DIR", phoneDir_}, {"TAVRIN_LOG_DIR", logDir_}};
  for (const auto& [k, v] : extraEnv) env[k] = v;

  Start result;
  ChildProcess starter;
  if (!starter.start(argv, env)) return result;
  result.output = starter.readAll(10s);
  result.status = starter.wait(10s);

  // The detached copy: a child of ours in a session of its own that it does
  // not lead (the intermediate process leads it, then exits).
  const pid_t ownSession = getsid(0);
  auto deadline = std::chrono::steady_clock::now() + 2s;
  while (std::chrono::steady_clock::now() < deadline && result.status == 0) {
    for (pid_t pid : Subreaper::children("tavrindaemon")) {
      if (std::find(known_.begin(), known_.end(), pid) != known_.end()) continue;
      pid_t session = getsid(pid);
      if (session > 0 && session != pid && session != ownSession) {
        result.detached = pid;
        known_.push_back(pid);
        return result;
      }
    }
    std::this_thread::sleep_for(5ms);
  }
  return result;
}

std::string DaemonHarness::command(int port, uint32_t command, const std::string& data) {
  int fd = connectLoopback(port, 3s);
  if (fd < 0) return "(no connection)";
  uint8_t header[DAEMON_HEADER_SIZE];
  putLittleEndian32(header, command);
  putLittleEndian32(header + 4, uint32_t(data.size()));
  sendAll(fd, header, sizeof header);
  if (!data.empty()) sendAll(fd, data.data(), data.size());
  std::string reply;
  char c;
  while (recvExact(fd, &c, 1, 3s)) reply += c;  // until the daemon closes
  ::close(fd);
  return reply;
}

void DaemonHarness::installStandIn(const std::string& name) {
  mkdir(phoneDir_.c_str(), 0755);
  std::string base = phoneDir_ + "/" + name;
  // A shell loop rather than one long sleep, so SIGTERM ends it promptly.
  writeFile(base,
            "#!/bin/sh\n"
            "echo \"$@\" > '" + base + ".args.tmp' && mv '" + base + ".args.tmp' '" + base + ".args'\n"
            "echo $$ > '" + base + ".pid.tmp' && mv '" + base + ".pid.tmp' '" + base + ".pid'\n"
            "i=0\n"
            "while [ $i -lt 200 ]; do sleep 0.1; i=$((i+1)); done\n");
  chmod(base.c_str(), 0755);
}

std::optional<std::string> DaemonHarness::standInArgs(const std::string& name, int timeoutMs) const {
  std::string path = phoneDir_ + "/" + name + ".args";
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (access(path.c_str(), F_OK) != 0 || access((phoneDir_ + "/" + name + ".pid").c_str(), F_OK) != 0) {
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(10ms);
  }
  std::string args = readFile(path);
  if (!args.empty() && args.back() == '\n') args.pop_back();
  return args;
}

pid_t DaemonHarness::standInPid(const std::string& name) const {
  return pid_t(std::atoi(readFile(phoneDir_ + "/" + name + ".pid").c_str()));
}

std::string DaemonHarness::log() const { return readFile(logDir_ + "/MavekLog.log"); }

std::string mirrorData(int32_t width, int32_t height, int32_t bitRate, int32_t fourth) {
  uint8_t data[16];
  putLittleEndian32(data, uint32_t(width));
  putLittleEndian32(data + 4, uint32_t(height));
  putLittleEndian32(data + 8, uint32_t(bitRate));
  putLittleEndian32(data + 12, uint32_t(fourth));
  return std::string(reinterpret_cast<char*>(data), sizeof data);
}

std::string inputData(int32_t port) {
  uint8_t data[4];
  putLittleEndian32(data, uint32_t(port));
  return std::string(reinterpret_cast<char*>(data), sizeof data);
}

}  // namespace tavrin::test
