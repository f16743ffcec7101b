#pragma once
// Runs a Windows program for a test in a folder of its choosing, with
// additions to the test's environment, and waits for its end.
#include <map>
#include <string>
#include <vector>

// The program's exit code; -1 when it could not start or had to be ended
// after `timeoutMs`.
long long RunWindowsProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::string& folder, const std::map<std::string, std::string>& env,
                            int timeoutMs = 120000);
