#pragma once

#include <sys/types.h>

namespace TestSupport {

// A process as /proc shows it, and this process's limits.
// What /proc shows of a process; -1 when it cannot be read.
// A field of its status in the field's own unit: "VmRSS" in KiB, "Threads" a count.
long statusField(pid_t pid, const char* name);
long openDescriptors(pid_t pid);
// Processor time used so far, in clock ticks (user and system).
long cpuTicks(pid_t pid);

// Raises this process's soft open-files limit to at least count (up to the hard limit).
void raiseOpenFilesLimit(unsigned long count);

} // namespace TestSupport
