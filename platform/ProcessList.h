#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace tavrin {

struct ProcessEntry {
  pid_t pid;
  std::string exeName;  // last component of /proc/<pid>/exe
};

// Every process whose program file can be read; nullopt when /proc cannot be
// listed.
std::optional<std::vector<ProcessEntry>> listProcesses();

// Last path component of this process's program file; empty when unknown.
std::string ownProgramName();

enum class TerminateResult { Terminated, NotFound, ListUnavailable };

// Sends SIGTERM to the first process (other than `except`) whose program name
// equals `name`, case-insensitively. Only that one is ended.
TerminateResult terminateFirstByName(const std::string& name, pid_t except);

}  // namespace tavrin
