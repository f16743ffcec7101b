#pragma once
// Runs the crash programs as real processes in a fresh folder, without the
// test's display or crash settings, and reads their dumps back with lldb.
#include <sys/wait.h>

#include "support/test_common.h"

// `program`: in the build's bin folder, or a full path.
inline std::string CrashProgramPath(const std::string& program) {
    return program[0] == '/' ? program : std::string(QUON_BIN_DIR) + "/" + program;
}

inline std::unique_ptr<ChildProcess> StartCrash(const std::string& folder, std::vector<std::string> args,
                                                std::map<std::string, std::string> env = {}, ChildOptions options = {},
                                                const std::string& program = "crash_victim") {
    args.insert(args.begin(), CrashProgramPath(program));
    options.cleanEnv = true;
    return std::make_unique<ChildProcess>(args, folder, env, "", options);
}

// The raw wait status of a crash run with the scripted answer (empty: none, no terminal).
inline int RunCrash(const std::string& folder, const std::string& mode, const std::string& answer,
                    std::map<std::string, std::string> env = {}, const std::string& program = "crash_victim") {
    env["QUON_CRASH_PROMPT_ANSWER"] = answer;
    auto run = StartCrash(folder, {mode}, env, {.newSession = true}, program);
    return run->Wait() < 0 ? -1 : run->RawStatus();
}

// Names of the *.dmp files in the folder, sorted.
inline std::vector<std::string> ListDumps(const std::string& folder) {
    std::vector<std::string> dumps;
    for (const auto& [name, content] : FolderTree(folder, false, false)) if (name.ends_with(".dmp")) dumps.push_back(name);
    return dumps;
}

// "lldb --batch --core <dump> <exe> -o 'thread list' -o 'bt all'" output.
inline std::string ReadDumpWithLldb(const std::string& dump, const std::string& exe) {
    ChildProcess lldb({"/usr/bin/lldb", "--batch", "--core", dump, exe, "-o", "thread list", "-o", "bt all"}, "/");
    return lldb.Wait(60000) < 0 ? "lldb timed out" : lldb.Output();
}

// The dump name for the given program and local time.
inline std::string ExpectedDumpName(const std::string& program, time_t when) {
    std::tm t{};
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%-m-%-d-%-H-%-M-%-S", localtime_r(&when, &t));
    return program + "(crashed)_" + stamp + ".dmp";
}

// A Yes ends the process quietly with the status a shell shows for the
// signal and one dump; a No ends it by the signal with none.
inline void ExpectAnswered(int status, bool yes, int signal, const std::string& folder) {
    if (yes) {
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
    } else {
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(WTERMSIG(status), signal);
    }
    EXPECT_EQ(ListDumps(folder).size(), yes ? 1u : 0u);
}
