#pragma once
// Runs a program as a child for a test: chosen environment additions, its
// standard input fed from a string, standard output and error captured.
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

class ChildProcess {
public:
    ChildProcess(std::vector<std::string> argv, std::string folder, std::map<std::string, std::string> env = {},
                 std::string input = "");
    ~ChildProcess();  // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }
    // Exit status (128 + signal when killed by one), or -1 after the timeout.
    int Wait(int timeoutMs = 30000);
    void Kill(int signal);
    // Everything the child wrote to standard error (and output) so far.
    std::string Output() const;

private:
    pid_t m_pid = -1;
    int m_status = -1;
    std::string m_outputPath;
};

std::string LauncherBinary();  // build/bin/QuonLauncher.exe
std::string ToolBinary(const std::string& name);  // build/tools-bin/<name>
