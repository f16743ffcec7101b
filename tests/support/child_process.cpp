#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "support/temp_dir.h"

ChildProcess::ChildProcess(std::vector<std::string> argv, std::string folder, std::map<std::string, std::string> env,
                           std::string input) {
    char pattern[] = "/tmp/quon-child-XXXXXX";
    int outFd = mkstemp(pattern);
    m_outputPath = pattern;
    int inPipe[2];
    if (pipe(inPipe) != 0) return;
    m_pid = fork();
    if (m_pid == 0) {
        dup2(inPipe[0], STDIN_FILENO);
        dup2(outFd, STDOUT_FILENO);
        dup2(outFd, STDERR_FILENO);
        close(inPipe[0]);
        close(inPipe[1]);
        close(outFd);
        for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        if (chdir(folder.c_str()) == 0) execv(args[0], args.data());
        _exit(127);
    }
    close(inPipe[0]);
    close(outFd);
    // Small inputs fit the pipe; the child reads them when it is ready.
    if (!input.empty()) [[maybe_unused]] ssize_t n = write(inPipe[1], input.data(), input.size());
    close(inPipe[1]);
}

ChildProcess::~ChildProcess() {
    if (m_pid > 0 && m_status < 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    unlink(m_outputPath.c_str());
}

int ChildProcess::Wait(int timeoutMs) {
    if (m_status >= 0) return m_status;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (waitpid(m_pid, &status, WNOHANG) != m_pid) {
        if (std::chrono::steady_clock::now() >= deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return m_status;
}

void ChildProcess::Kill(int signal) {
    if (m_pid > 0 && m_status < 0) kill(m_pid, signal);
}

std::string ChildProcess::Output() const { return ReadWholeFile(m_outputPath); }

std::string LauncherBinary() { return std::string(QUON_BIN_DIR) + "/QuonLauncher.exe"; }

std::string ToolBinary(const std::string& name) { return std::string(QUON_BIN_DIR) + "/../tools-bin/" + name; }
