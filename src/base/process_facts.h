#pragma once
// Small facts about the running process that the util layer's
// diagnostics need.
#include <ctime>
#include <string>

namespace fsys {

// The system's id of the calling thread (as a debugger shows it).
long CurrentThreadId();
// `when` as local time.
std::tm LocalTime(std::time_t when);
// The system's text for a C run-time error number ("No such file or
// directory"), UTF-8.
std::string SystemErrorText(int error);
// Whether an error number says the disk (or the user's quota, or the
// largest file the system allows) is full.
bool IsNoSpaceError(int error);
// Stops in the debugger (a breakpoint trap; without a debugger the process
// ends as the system ends a trapped program).
void BreakIntoDebugger();

}  // namespace fsys
