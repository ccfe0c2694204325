#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TestNet.h"

namespace tavrin::test {

// An adb server of the tests' own on 127.0.0.1 (a free port), speaking the
// host protocol byte for byte: "%04x"-framed requests, "OKAY"/"FAIL" status
// words, "FAIL" followed by a "%04x"-framed message, the hex-framed device
// list, and shell output streams that end when the server closes the
// connection. Processes reach it through ANDROID_ADB_SERVER_PORT (env()).
//
// Served: "host:devices", "host:version", "host:transport:<serial>" followed
// by "shell:<command>" on the same connection, and
// "host-serial:<serial>:forward:tcp:<pc>;tcp:<phone>" (answered "OKAY" twice,
// as the real server does). A serial is usable when it is listed in state
// "device". Anything else gets "FAIL" with a message.
class AdbTestServer {
 public:
  struct Device {
    std::string serial;
    std::string state;  // "device", "unauthorized", "offline", ...
  };
  struct Forward {
    std::string serial;
    int pcPort;
    int phonePort;
  };

  // One shell request's stream, handed to a shell handler on the
  // connection's own thread.
  class ShellStream {
   public:
    ShellStream(int fd, std::string serial, std::string command, const std::atomic<bool>& stopping);
    const std::string& serial() const { return serial_; }
    const std::string& command() const { return command_; }
    // Sends output bytes to the client; false once the client is gone.
    bool write(const std::string& bytes);
    // Waits until the client closes its end (true) or the time-out passes or
    // the server stops (false). Bytes the client sends are dropped.
    bool waitClientClosed(std::chrono::milliseconds timeout);
    bool stopping() const { return stopping_; }

   private:
    int fd_;
    std::string serial_;
    std::string command_;
    const std::atomic<bool>& stopping_;
  };

  // Handles a shell request and returns true, or returns false to leave it
  // to the built-in answers. The server closes the stream when it returns.
  using ShellHandler = std::function<bool(ShellStream&)>;

  AdbTestServer();
  ~AdbTestServer();
  AdbTestServer(const AdbTestServer&) = delete;
  AdbTestServer& operator=(const AdbTestServer&) = delete;

  bool ok() const { return listener_.ok(); }
  int port() const { return listener_.port(); }
  // {"ANDROID_ADB_SERVER_PORT", port}, for child processes.
  std::map<std::string, std::string> env() const;

  void setDevices(std::vector<Device> devices);
  // Answers "host:devices" with this text verbatim instead of the list.
  void setDeviceListText(std::optional<std::string> text);
  // Built-in shell answers: "ls -l PATH" lists files added here and
  // complains "PATH: No such file or directory" about others; a command given
  // a fixed output prints it; anything else prints "/system/bin/sh: CMD: not found".
  void addFile(const std::string& path);
  void setShellOutput(const std::string& command, const std::string& output);
  void setShellHandler(ShellHandler handler);

  // Every request payload received, in arrival order.
  std::vector<std::string> requests() const;
  std::vector<Forward> forwards() const;
  // Shell streams currently open.
  int openShells() const { return openShells_; }
  // Waits until openShells() == count.
  bool waitOpenShells(int count, std::chrono::milliseconds timeout) const;

 private:
  void acceptLoop();
  void serve(int fd);
  void answerShell(int fd, const std::string& serial, const std::string& command);
  bool deviceUsable(const std::string& serial, std::string* error) const;

  Listener listener_;
  std::atomic<bool> stopping_{false};
  std::thread acceptThread_;

  mutable std::mutex mutex_;
  std::vector<std::thread> connections_;
  std::vector<int> openFds_;
  std::vector<Device> devices_;
  std::optional<std::string> deviceListText_;
  std::vector<std::string> files_;
  std::map<std::string, std::string> shellOutputs_;
  ShellHandler shellHandler_;
  std::vector<std::string> requests_;
  std::vector<Forward> forwards_;
  std::atomic<int> openShells_{0};
};

// A program to run for a shell command.
struct ShellProgram {
  std::vector<std::string> argv;
  std::map<std::string, std::string> env;
};

// A shell handler that runs a program for every command `pick` maps to one:
// the program's output goes to the stream, the stream ends when the program
// ends, and the program is ended when the client closes the stream (as the
// phone's shell ends a command whose adb connection went away). Commands
// `pick` declines go to the built-in answers.
AdbTestServer::ShellHandler runPrograms(
    std::function<std::optional<ShellProgram>(const std::string& command)> pick);

}  // namespace tavrin::test
