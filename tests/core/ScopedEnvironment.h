#pragma once
// Sets or unsets environment variables for the life of a test and restores
// the previous values afterwards.

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                unsetenv(it->first.c_str());
            }
        }
    }

    // nullopt unsets the variable.
    ScopedEnvironment& set(const std::string& name, std::optional<std::string> value) {
        const char* previous = std::getenv(name.c_str());
        saved_.emplace_back(name, previous ? std::optional<std::string>(previous) : std::nullopt);
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
        return *this;
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace testsupport
