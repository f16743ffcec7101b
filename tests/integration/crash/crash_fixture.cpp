#include "integration/crash/crash_fixture.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "support/child_process.h"

extern char** environ;

namespace {
std::vector<std::string> BuildEnvironment(const std::map<std::string, std::string>& overrides) {
    std::map<std::string, std::string> env;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const size_t eq = text.find('=');
        if (eq != std::string::npos) env[text.substr(0, eq)] = text.substr(eq + 1);
    }
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QUON_CRASH_PROMPT_ANSWER",
                             "QUON_CRASH_REPORT_MODE", "QUON_CRASH_HELPER"})
        env.erase(name);
    for (const auto& [name, value] : overrides) {
        if (value.empty())
            env.erase(name);
        else
            env[name] = value;
    }
    std::vector<std::string> out;
    for (const auto& [name, value] : env) out.push_back(name + "=" + value);
    return out;
}
}  // namespace

std::string CrashProgramPath(const std::string& program) {
    return program[0] == '/' ? program : std::string(QUON_BIN_DIR) + "/" + program;
}

pid_t StartCrash(const std::string& folder, const CrashRun& run) {
    const std::string exe = CrashProgramPath(run.program);
    const std::vector<std::string> envText = BuildEnvironment(run.env);
    std::vector<char*> envp;
    for (const auto& entry : envText) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    std::vector<std::string> args = run.args.empty() ? std::vector<std::string>{run.mode} : run.args;
    args.insert(args.begin(), exe);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (run.newSession) setsid();
        if (!run.terminal.empty()) {
            const int tty = open(run.terminal.c_str(), O_RDWR);  // becomes the controlling terminal
            if (tty < 0) _exit(120);
        }
        const int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, STDIN_FILENO);
        if (chdir(folder.c_str()) != 0) _exit(121);
        execve(exe.c_str(), argv.data(), envp.data());
        _exit(122);
    }
    return pid;
}

int WaitCrash(pid_t pid, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status;
}

int RunCrash(const std::string& folder, const CrashRun& run) {
    return WaitCrash(StartCrash(folder, run), run.timeoutMs);
}

std::vector<std::string> ListDumps(const std::string& folder) {
    std::vector<std::string> dumps;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().extension() == ".dmp") dumps.push_back(entry.path().filename().string());
    std::sort(dumps.begin(), dumps.end());
    return dumps;
}

std::string ReadDumpWithLldb(const std::string& dump, const std::string& exe) {
    ChildProcess lldb({"/usr/bin/lldb", "--batch", "--core", dump, exe, "-o", "thread list", "-o", "bt all"},
                      "/");
    return lldb.Wait(60000) < 0 ? "lldb timed out" : lldb.Output();
}

std::string ExpectedDumpName(const std::string& program, time_t when) {
    std::tm t{};
    localtime_r(&when, &t);
    return program + "(crashed)_" + std::to_string(t.tm_year + 1900) + "-" + std::to_string(t.tm_mon + 1) +
           "-" + std::to_string(t.tm_mday) + "-" + std::to_string(t.tm_hour) + "-" +
           std::to_string(t.tm_min) + "-" + std::to_string(t.tm_sec) + ".dmp";
}
