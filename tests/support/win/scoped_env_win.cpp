#include "support/scoped_env.h"

void ScopedEnv::Set(const std::optional<std::string>& value) {
    // An empty value removes the variable.
    _putenv_s(m_name.c_str(), value ? value->c_str() : "");
}
