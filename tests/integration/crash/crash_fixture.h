#pragma once
// Runs the crash programs as real processes in a fresh folder, without the
// test's display or crash settings, and names their dumps. What differs by
// system (how a process ends, what a dump shows and how it is read) is in
// crash_fixture_posix.cpp and win/crash_fixture_win.cpp.
#include "support/test_common.h"

// A crash program of the build ("crash_victim") by its full path.
std::string CrashProgramPath(const std::string& program);

// How the process ended, once it has: "exit <status>", or on Linux
// "signal <number>" when a signal ended it.
std::string Ending(ChildProcess& run);

// How the crash of `mode` (an argument of crash_victim) ends: after the
// handler wrote the dump (answered Yes), or when it did not.
std::string CrashEnding(const std::string& mode, bool dumped);

// Why the crash of `mode` cannot be handled on this system; empty if it can.
std::string CannotHandle(const std::string& mode);

// Whether a crash program's prompt can be kept from showing (Linux: no
// display and no terminal; Wine shows the box on any display it has).
bool PromptCanBeWithheld();

// Checks that the dump of crash_victim's `mode` shows that crash; `folder`
// is where the program ran.
void ExpectDumpOfCrash(const std::string& mode, const std::string& folder, const std::string& dump);

// Crashes the running launcher from outside, as a fault of its own would
// (Linux: a signal; Windows: a thread that faults at once); the thread that
// faults when the system tells it, else 0.
uint32_t CrashFromOutside(ChildProcess& launcher);

// Checks that the launcher's dump shows its threads at work and the crash
// in `thread` (0: any).
void ExpectDumpOfLauncher(const std::string& dump, const std::string& exe, uint32_t thread);

// `program` (a full path) started in `folder`, its environment without the
// test's display and QUON_* settings but with `env`.
inline std::unique_ptr<ChildProcess> StartCrash(
    const std::string& folder, std::vector<std::string> args, std::map<std::string, std::string> env = {},
    ChildOptions options = {}, const std::string& program = CrashProgramPath("crash_victim")) {
    args.insert(args.begin(), program);
    options.cleanEnv = true;
    return std::make_unique<ChildProcess>(args, folder, env, "", options);
}

// The ending of a crash run with the scripted answer (empty: none, no terminal).
inline std::string RunCrash(const std::string& folder, const std::string& mode, const std::string& answer,
                            std::map<std::string, std::string> env = {}) {
    env["QUON_CRASH_PROMPT_ANSWER"] = answer;
    return Ending(*StartCrash(folder, {mode}, env, {.newSession = true}));
}

// Names of the *.dmp files in the folder, sorted.
inline std::vector<std::string> ListDumps(const std::string& folder) {
    std::vector<std::string> dumps;
    for (const auto& [name, content] : FolderTree(folder, false, false))
        if (name.ends_with(".dmp")) dumps.push_back(name);
    return dumps;
}

// "crash_victim(crashed)_2026-12-8-7-5-9.dmp" for that local second.
inline std::string ExpectedDumpName(const std::string& program, time_t when) {
    const std::tm t = *std::localtime(&when);
    std::string name = program + "(crashed)_";
    for (int n : {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec})
        name += std::to_string(n) + "-";
    name.back() = '.';
    return name + "dmp";
}
