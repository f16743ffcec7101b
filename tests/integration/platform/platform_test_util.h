#pragma once
// Helpers for tests that start real processes: the stand-in tools, waiting
// with a deadline, environment changes undone at the end of a test.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "support/child_process.h"
#include "support/wait_until.h"

namespace platform_test {

using ::WaitUntil;

// A copy of the stand-in tool `tool` at `to`, executable.
inline void CopyTool(const std::string& tool, const std::string& to) {
    std::filesystem::copy_file(ToolBinary(tool), to, std::filesystem::copy_options::overwrite_existing);
    chmod(to.c_str(), 0755);
}

// Sets (or, with nullopt, removes) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name) {
        if (const char* old = getenv(name)) m_old = old;
        Set(m_name, value);
    }
    ~ScopedEnv() { Set(m_name, m_old); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    static void Set(const std::string& name, const std::optional<std::string>& value) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
    std::string m_name;
    std::optional<std::string> m_old;
};

}  // namespace platform_test
