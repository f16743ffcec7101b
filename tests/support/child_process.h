#pragma once
// Runs a program as a child for a test: chosen environment additions, its
// standard input fed from a string, standard output and error captured; or
// on a pseudo-terminal of its own, as a player at a console meets it.
// support/<os>/child_process_<os>.cpp: fork and exec, or CreateProcessW
// with the child in a job object that dies with the test.
#include <signal.h>
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
    // Standard input closed, not only at its end.
    bool closedInput = false;
};

class ChildProcess {
public:
    ChildProcess(std::vector<std::string> argv, std::string folder, std::map<std::string, std::string> env = {},
                 std::string input = "", ChildOptions options = {});
    // Runs `body` in a copy of the test, which never outlives it; its result
    // is the exit status. Linux forks; Windows runs the current test again
    // in a new process, which runs `body` when it reaches this call.
    explicit ChildProcess(const std::function<int()>& body);
    ~ChildProcess();  // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }
    // Windows: the process's HANDLE, for what only it allows (a thread
    // started in the child); Linux: none.
    void* handle() const { return m_process; }
    // Exit status (128 + signal when killed by one; on Windows the whole
    // exit code, which for a crash is an NTSTATUS that reads as negative), or
    // -1 after the timeout.
    int Wait(int timeoutMs = 30000);
    // The raw wait status once Wait returned other than -1 (WIFSIGNALED...).
    int RawStatus() const { return m_raw; }
    // SIGKILL: ended at once, no clean-up; SIGINT, SIGTERM: asked to close
    // (on Windows a console's Ctrl+Break).
    void Kill(int signal);
    // Bytes the child has read so far (files included).
    long long BytesRead() const;
    // Ended, though not yet waited for (a zombie on Linux).
    bool Ended() const;
    // Everything the child wrote to standard error (and output) so far.
    std::string Output() const;
    // Waits until `text` is in the output; whether it came within `timeoutMs`.
    bool WaitForOutput(const std::string& text, int timeoutMs = 20000) const;
    // Types `text` on the terminal (with ChildOptions::terminal).
    void Write(const std::string& text);
    // Whether ChildOptions::terminal can be had (Linux; Windows' pseudo
    // console is not there under Wine).
    static bool TerminalsAvailable();
    // Whether Kill(SIGINT or SIGTERM) reaches the child: not under Wine,
    // which gives a headless child no console to send Ctrl+Break on.
    static bool ClosesAvailable();

private:
    void Start(const std::function<void()>& exec, const ChildOptions& options, const std::string& input);

    pid_t m_pid = -1;
    int m_status = -1;
    int m_raw = 0;
    int m_master = -1;
    std::string m_outputPath;
    mutable std::string m_terminalOutput;
    void* m_process = nullptr;  // Windows: the process and its job
    void* m_job = nullptr;
    bool m_ended = false;  // Windows: waited for (any exit code is possible)
};

#ifndef SIGKILL  // Windows has the C signals only
#define SIGKILL 9
#endif

std::string LauncherBinary();  // build/bin/QuonLauncher.exe
std::string ToolBinary(const std::string& name);  // build/tools-bin/<name>
// A copy of the stand-in client in `dir` under a name no other test uses
// ("<prefix><pid>.exe"), so that tests running side by side cannot see each
// other's clients; the name.
class TempDir;
std::string CopyClient(const TempDir& dir, const std::string& prefix);
