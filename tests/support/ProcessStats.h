#pragma once

#include <sys/types.h>

namespace tavrin::test {

// utime + stime of a process so far, in seconds; negative when unreadable.
double processCpuSeconds(pid_t pid);
// Peak resident memory (VmHWM) of a process in KiB; negative when unreadable.
long peakResidentKiB(pid_t pid);

}  // namespace tavrin::test
