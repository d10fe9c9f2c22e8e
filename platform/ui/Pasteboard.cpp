#include "ui/Pasteboard.h"

namespace ui {

Pasteboard& Pasteboard::general() {
    static Pasteboard* const pasteboard = new Pasteboard();
    return *pasteboard;
}

std::optional<std::string> Pasteboard::string() const {
    const std::lock_guard lock(mutex_);
    return string_;
}

void Pasteboard::setString(std::string text) {
    const std::lock_guard lock(mutex_);
    string_ = std::move(text);
    ++changeCount_;
}

std::uint64_t Pasteboard::changeCount() const {
    const std::lock_guard lock(mutex_);
    return changeCount_;
}

void Pasteboard::clearForTesting() {
    const std::lock_guard lock(mutex_);
    string_.reset();
    ++changeCount_;
}

}  // namespace ui
