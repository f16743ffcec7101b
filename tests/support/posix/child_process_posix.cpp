
#include <sys/wait.h>

#include "support/test_common.h"
#include <poll.h>
#include <pty.h>
#include <sys/prctl.h>
#include <sys/ioctl.h>
#include <termios.h>

extern char** environ;

ChildProcess::ChildProcess(std::vector<std::string> argv, std::string folder, std::map<std::string, std::string> env,
                           std::string input, ChildOptions options) {
    Start(
        [&] {
            if (options.cleanEnv) {
                std::vector<std::string> drop;
                for (char** entry = environ; *entry; ++entry) {
                    const std::string name(*entry, strcspn(*entry, "="));
                    if (name == "DISPLAY" || name == "WAYLAND_DISPLAY" || name.starts_with("QUON_"))
                        drop.push_back(name);
                }
                for (const auto& name : drop) unsetenv(name.c_str());
            }
            for (const auto& [name, value] : env) {
                if (options.cleanEnv && value.empty()) {
                    unsetenv(name.c_str());
                } else {
                    setenv(name.c_str(), value.c_str(), 1);
                }
            }
            std::vector<char*> args;
            for (auto& a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            if (chdir(folder.c_str()) == 0) execv(args[0], args.data());
        },
        options, input);
}

ChildProcess::ChildProcess(const std::function<int()>& body) {
    Start(
        [&] {
            prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives a crashed test
            _exit(body());
        },
        {}, "");
}

void ChildProcess::Start(const std::function<void()>& exec, const ChildOptions& options, const std::string& input) {
    char pattern[] = "/tmp/quon-child-XXXXXX";
    const int outFd = mkstemp(pattern);
    m_outputPath = pattern;
    int inPipe[2];
    int slave = -1;
    if (pipe(inPipe) != 0) return;
    if (options.terminal) {
        if (openpty(&m_master, &slave, nullptr, nullptr, nullptr) != 0) return;
        termios raw{};
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
    }
    m_pid = fork();
    if (m_pid == 0) {
        if (options.terminal || options.newSession) setsid();
        if (options.terminal) {
            ioctl(slave, TIOCSCTTY, 0);
            for (int fd = 0; fd < 3; ++fd) dup2(slave, fd);
        } else {
            if (options.closedInput) close(STDIN_FILENO);
            if (!options.closedInput) dup2(inPipe[0], STDIN_FILENO);
            dup2(outFd, STDOUT_FILENO);
            dup2(outFd, STDERR_FILENO);
        }
        for (int fd : {inPipe[0], inPipe[1], outFd, slave, m_master}) {
            if (fd > 2) close(fd);
        }
        exec();
        _exit(127);
    }
    close(inPipe[0]);
    close(outFd);
    if (slave >= 0) close(slave);
    if (m_master >= 0) {
        fcntl(m_master, F_SETFL, O_NONBLOCK);
        Write(input);
    } else if (!input.empty()) {
        // Small inputs fit the pipe; the child reads them when it is ready.
        [[maybe_unused]] ssize_t n = write(inPipe[1], input.data(), input.size());
    }
    close(inPipe[1]);
}

ChildProcess::~ChildProcess() {
    if (m_pid > 0 && m_status < 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    if (m_master >= 0) close(m_master);
    unlink(m_outputPath.c_str());
}

int ChildProcess::Wait(int timeoutMs) {
    if (m_status >= 0) return m_status;
    // The output is read on the way: a full terminal would hold the child up.
    const bool ended = WaitUntil([&] { return Output(), waitpid(m_pid, &m_raw, WNOHANG) == m_pid; }, timeoutMs);
    if (!ended) return -1;
    m_status = WIFEXITED(m_raw) ? WEXITSTATUS(m_raw) : 128 + WTERMSIG(m_raw);
    return m_status;
}

void ChildProcess::Kill(int signal) {
    if (m_pid > 0 && m_status < 0) kill(m_pid, signal);
}

std::string ChildProcess::Output() const {
    if (m_master < 0) return ReadWholeFile(m_outputPath);
    char buffer[4096];
    for (ssize_t n; (n = read(m_master, buffer, sizeof buffer)) > 0;) m_terminalOutput.append(buffer, n);
    return m_terminalOutput;
}

void ChildProcess::Write(const std::string& text) {
    if (m_master >= 0 && !text.empty()) [[maybe_unused]] ssize_t n = write(m_master, text.data(), text.size());
}

bool ChildProcess::TerminalsAvailable() { return true; }

bool ChildProcess::ClosesAvailable() { return true; }

bool ChildProcess::Ended() const {
    const std::string stat = ReadWholeFile("/proc/" + std::to_string(m_pid) + "/stat");
    const size_t paren = stat.rfind(')');
    return paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] == 'Z';
}

long long ChildProcess::BytesRead() const {
    std::ifstream io("/proc/" + std::to_string(m_pid) + "/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value && key != "rchar:") {
    }
    return key == "rchar:" ? value : 0;
}
