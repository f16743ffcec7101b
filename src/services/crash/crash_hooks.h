#pragma once
// The crash hooks of the running process, and the helper side that the
// hooks start: the same executable in helper mode, chosen by the
// environment (QUON_CRASH_HELPER), so the program's command line stays free.
#include <cstdint>

// Signal handlers on an alternate stack, the pure-virtual hook, std::terminate.
void InstallCrashHooks();
// An alternate signal stack for the calling thread, freed when it ends.
void PrepareThreadForCrash();

// True in a process started as a crash helper.
bool IsCrashHelperProcess();
// Reads the crash from the crashed process, handles it with the exception
// handler and tells the crashed process how to end. Returns the exit status.
int RunCrashHelper();
