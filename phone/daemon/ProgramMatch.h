#pragma once

#include <sys/types.h>

#include <string>

namespace tavrin {

// True when a process with this command line (/proc/<pid>/cmdline: words
// separated by NULs) runs the program `name`: the last path component of its
// first word is `name`, or, when the first word is a shell, that of its second
// word (a script run through its "#!" line). A process that merely mentions
// the name, such as an editor or a grep, does not count.
bool commandLineRunsProgram(const std::string& commandLine, const std::string& name);

// The first process in /proc that runs `name`; 0 when there is none.
pid_t findProgramProcess(const std::string& name);

}  // namespace tavrin
