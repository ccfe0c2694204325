#pragma once

#include <chrono>
#include <string>

namespace tavrin {

// The client's instance name.
constexpr const char* SINGLE_INSTANCE_MUTEX = "{678E7E53-D8DE-4B76-8007-64121773B8FE}";

// A process-wide name held as an exclusive flock on
// $XDG_RUNTIME_DIR (else /tmp) /<name>.lock. The lock goes with the process.
class SingleInstanceLock {
 public:
  explicit SingleInstanceLock(const std::string& name);
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  static std::string pathFor(const std::string& name);

  // False when the lock file cannot be opened at all.
  bool open();
  // True when this process now holds the name; false when another one does.
  bool tryAcquire();
  // Retries until `limit` has passed.
  bool waitAcquire(std::chrono::milliseconds limit);
  bool held() const { return held_; }
  void close();

 private:
  std::string path_;
  int fd_ = -1;
  bool held_ = false;
};

enum class InstanceClaim { Sole, EndedOther, Failed };

// The program-entry rule: take the name; when another process holds it, end
// the first other process running this program (SIGTERM) and wait up to 2 s
// for the name. Failed when the lock file, our own program name or the
// process list cannot be had.
InstanceClaim claimSingleInstance(SingleInstanceLock& lock,
                                  std::chrono::milliseconds wait = std::chrono::milliseconds(2000));

}  // namespace tavrin
