#pragma once
// Stops the process on a programming error (a deadlocking sync, a run loop
// bound twice). The check is never compiled out: release builds abort too.

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace core {

[[noreturn]] inline void fatal(std::string_view message) {
    std::fprintf(stderr, "vantor: fatal: %.*s\n", static_cast<int>(message.size()), message.data());
    std::fflush(stderr);
    std::abort();
}

}  // namespace core
