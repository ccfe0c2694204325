#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "platform/ProcessList.h"

namespace tavrin {

SingleInstanceLock::SingleInstanceLock(const std::string& name) : path_(pathFor(name)) {}

SingleInstanceLock::~SingleInstanceLock() { close(); }

std::string SingleInstanceLock::pathFor(const std::string& name) {
  const char* dir = std::getenv("XDG_RUNTIME_DIR");
  std::string base = (dir && *dir) ? dir : "/tmp";
  return base + "/" + name + ".lock";
}

bool SingleInstanceLock::open() {
  if (fd_ >= 0) return true;
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  return fd_ >= 0;
}

bool SingleInstanceLock::tryAcquire() {
  if (held_) return true;
  if (!open()) return false;
  held_ = flock(fd_, LOCK_EX | LOCK_NB) == 0;
  return held_;
}

bool SingleInstanceLock::waitAcquire(std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!tryAcquire()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void SingleInstanceLock::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  held_ = false;
}

InstanceClaim claimSingleInstance(SingleInstanceLock& lock, std::chrono::milliseconds wait) {
  if (!lock.open()) return InstanceClaim::Failed;
  if (lock.tryAcquire()) return InstanceClaim::Sole;
  std::string own = ownProgramName();
  if (own.empty()) return InstanceClaim::Failed;
  if (terminateFirstByName(own, getpid()) == TerminateResult::ListUnavailable)
    return InstanceClaim::Failed;
  // The other process may already be gone or may be stopping; either way we
  // carry on, holding the name if it came free in time.
  lock.waitAcquire(wait);
  return InstanceClaim::EndedOther;
}

}  // namespace tavrin
