#pragma once
// The SDK's trace of start-up steps and of a few calls worth following
// (shared instances made, screens relinquished, touches reported), in the
// order they happened: "DZRegisterURLProtocol", "DZPinger.start", ...
// Nothing acts on it: tests read it to see what ran and in which order. It
// keeps the latest kCapacity entries so a long-running process does not
// grow it without bound. Thread-safe.

#include <cstddef>
#include <string>
#include <vector>

namespace ads {

class DZCallLog {
public:
    static constexpr size_t kCapacity = 1024;

    static void record(std::string entry);
    // Oldest first.
    [[nodiscard]] static std::vector<std::string> entries();
    static void clear();
};

}  // namespace ads
