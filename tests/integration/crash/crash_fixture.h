#pragma once
// Runs the crash programs as real processes in a fresh folder and reads
// their dumps back with lldb.
#include <gtest/gtest.h>
#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

struct CrashRun {
    std::string program = "crash_victim";  // in the build's bin folder, or a full path
    std::string mode;                      // the program's one argument
    std::vector<std::string> args;         // instead of `mode`, when given
    // Added to (or, when empty, removed from) the test's environment; the
    // display and the crash variables are removed unless given.
    std::map<std::string, std::string> env;
    bool newSession = false;  // no controlling terminal unless `terminal`
    std::string terminal;     // pseudo-terminal to make controlling
    int timeoutMs = 30000;
};

// The raw wait status; -1 after the timeout (the process is killed).
int RunCrash(const std::string& folder, const CrashRun& run);
// Starts the run and returns its pid; WaitCrash collects it.
pid_t StartCrash(const std::string& folder, const CrashRun& run);
int WaitCrash(pid_t pid, int timeoutMs);

std::string CrashProgramPath(const std::string& program);
// Names of the *.dmp files in the folder, sorted.
std::vector<std::string> ListDumps(const std::string& folder);
// "lldb --batch --core <dump> <exe> -o 'thread list' -o 'bt all'" output.
std::string ReadDumpWithLldb(const std::string& dump, const std::string& exe);
// The dump name for the given program and local time.
std::string ExpectedDumpName(const std::string& program, time_t when);
