#pragma once
// The SDK's trace of start-up steps and of calls into its seams (the small
// stand-ins for parts of the SDK that are not built yet), in the order they
// happened: "DZRegisterURLProtocol", "DZPinger.start", ... Tests read it to
// see what ran and in which order; it keeps the latest kCapacity entries so
// a long-running process does not grow it without bound. Thread-safe.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
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

// The process-wide instance of a seam class, made on first use; every call
// is recorded as "<className>.sharedInstance".
template <typename T>
[[nodiscard]] std::shared_ptr<T> DZSeamSharedInstance(std::string_view className) {
    DZCallLog::record(std::string(className) + ".sharedInstance");
    static const auto* const shared = new std::shared_ptr<T>(std::make_shared<T>());
    return *shared;
}

}  // namespace ads
