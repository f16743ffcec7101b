#pragma once
// Runs a program as a child for a test: chosen environment additions, its
// standard input fed from a string, standard output and error captured; or
// on a pseudo-terminal of its own, as a player at a console meets it.
#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

struct ChildOptions {
    // Standard input, output and error on a new pseudo-terminal (raw: what
    // is written arrives as written, nothing is echoed), made the child's
    // controlling terminal in a session of its own.
    bool terminal = false;
    // A session of its own without a controlling terminal.
    bool newSession = false;
    // The test's DISPLAY, WAYLAND_DISPLAY and QUON_* are not inherited, and
    // an empty value in the additions removes the variable.
    bool cleanEnv = false;
};

class ChildProcess {
public:
    ChildProcess(std::vector<std::string> argv, std::string folder, std::map<std::string, std::string> env = {},
                 std::string input = "", ChildOptions options = {});
    // Runs `body` in a forked copy of the test (no exec); its result is the exit status.
    explicit ChildProcess(const std::function<int()>& body);
    ~ChildProcess();  // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }
    // Exit status (128 + signal when killed by one), or -1 after the timeout.
    int Wait(int timeoutMs = 30000);
    // The raw wait status once Wait returned other than -1 (WIFSIGNALED...).
    int RawStatus() const { return m_raw; }
    void Kill(int signal);
    // Everything the child wrote to standard error (and output) so far.
    std::string Output() const;
    // Waits until `text` is in the output; whether it came within `timeoutMs`.
    bool WaitForOutput(const std::string& text, int timeoutMs = 20000) const;
    // Types `text` on the terminal (with ChildOptions::terminal).
    void Write(const std::string& text);

private:
    void Start(const std::function<void()>& exec, const ChildOptions& options, const std::string& input);

    pid_t m_pid = -1;
    int m_status = -1;
    int m_raw = 0;
    int m_master = -1;
    std::string m_outputPath;
    mutable std::string m_terminalOutput;
};

std::string LauncherBinary();  // build/bin/QuonLauncher.exe
std::string ToolBinary(const std::string& name);  // build/tools-bin/<name>
