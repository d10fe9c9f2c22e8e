#include "core/Console.h"

#include <unistd.h>

#include <cerrno>
#include <memory>
#include <utility>

namespace core {

namespace {

// Never destroyed: threads may still log while the process exits.
struct ConsoleState {
    std::mutex mutex;
    std::shared_ptr<const Console::Sink> sink;
};

ConsoleState& state() {
    static ConsoleState* const shared = new ConsoleState;
    return *shared;
}

void writeToStandardOutput(std::string_view line) {
    std::string message;
    message.reserve(line.size() + 1);
    message.append(line).push_back('\n');
    std::string_view rest = message;
    while (!rest.empty()) {
        const ssize_t written = ::write(STDOUT_FILENO, rest.data(), rest.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        rest.remove_prefix(static_cast<size_t>(written));
    }
}

}  // namespace

void Console::log(std::string_view line) {
    ConsoleState& console = state();
    std::unique_lock lock(console.mutex);
    const auto sink = console.sink;
    if (!sink) {
        // Held across the write so one message goes out before the next.
        writeToStandardOutput(line);
        return;
    }
    lock.unlock();
    (*sink)(line);
}

Console::Sink Console::setSink(Sink sink) {
    ConsoleState& console = state();
    auto replacement = sink ? std::make_shared<const Sink>(std::move(sink)) : nullptr;
    std::lock_guard lock(console.mutex);
    auto previous = std::exchange(console.sink, std::move(replacement));
    return previous ? *previous : Sink();
}

Console::Capture::Capture() {
    previous_ = setSink([lines = lines_](std::string_view line) {
        std::lock_guard lock(lines->mutex);
        lines->lines.emplace_back(line);
    });
}

Console::Capture::~Capture() {
    setSink(std::move(previous_));
}

std::vector<std::string> Console::Capture::lines() const {
    std::lock_guard lock(lines_->mutex);
    return lines_->lines;
}

bool Console::Capture::contains(std::string_view text) const {
    std::lock_guard lock(lines_->mutex);
    for (const auto& line : lines_->lines) {
        if (line.find(text) != std::string::npos) return true;
    }
    return false;
}

}  // namespace core
