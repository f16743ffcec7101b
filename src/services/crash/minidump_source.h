#pragma once
// What the minidump writer reads of another (crashed, waiting) process.
#include <sys/types.h>

#include <string>

#include "services/crash/process_snapshot.h"

// Full path of the process's executable; empty when it cannot be read.
std::wstring ProcessExecutablePath(pid_t process);

// Stops every thread of the process, records its registers and stack, the
// loaded modules with their build ids, the system facts and the process's
// /proc streams, and lets the threads go again. For `crashedThread` the
// registers of the crash are given (it waits in its handler by now): they,
// not the handler's, are recorded, and its stack is taken from there.
bool CaptureProcessSnapshot(pid_t process, pid_t crashedThread, const Amd64Registers* crashedRegisters,
                            ProcessSnapshot& snapshot);
