#pragma once
// The general pasteboard: the text the user copied, shared by the whole
// process. It does not reach the desktop's clipboard, so tests see exactly
// what the app put there. Thread-safe.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace ui {

class Pasteboard {
public:
    [[nodiscard]] static Pasteboard& general();

    // nullopt when nothing was copied.
    [[nodiscard]] std::optional<std::string> string() const;
    void setString(std::string text);
    // Goes up by one with every change.
    [[nodiscard]] std::uint64_t changeCount() const;

    void clearForTesting();

private:
    Pasteboard() = default;

    mutable std::mutex mutex_;
    std::optional<std::string> string_;
    std::uint64_t changeCount_ = 0;
};

}  // namespace ui
