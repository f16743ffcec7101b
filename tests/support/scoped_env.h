#pragma once
// Sets (or, with nullopt, removes) an environment variable for one scope.
#include <cstdlib>
#include <optional>
#include <string>

class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name) {
        if (const char* old = getenv(name)) m_old = old;
        Set(value);
    }
    ~ScopedEnv() { Set(m_old); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    // In support/<os>/: the C library's environment, which getenv reads.
    void Set(const std::optional<std::string>& value);
    std::string m_name;
    std::optional<std::string> m_old;
};
