#include "support/scoped_env.h"

void ScopedEnv::Set(const std::optional<std::string>& value) {
    if (value) {
        setenv(m_name.c_str(), value->c_str(), 1);
    } else {
        unsetenv(m_name.c_str());
    }
}
