// Sets (or clears) an environment variable for one scope and restores it after.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace gbxtest {

class ScopedEnvironment {
public:
    // value null: the variable is removed for the scope.
    ScopedEnvironment(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ScopedEnvironment(const char* name, const std::string& value) : ScopedEnvironment(name, value.c_str()) {}
    ~ScopedEnvironment() {
        if (m_old)
            setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

}  // namespace gbxtest
