#include "ConsoleFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

#include "core/Console.h"

namespace tools {

namespace {

// Shared with the sink; the descriptor is closed by the process's exit.
struct ConsoleFileState {
    std::mutex mutex;
    int descriptor = -1;
};

void writeLine(ConsoleFileState& file, std::string_view line) {
    std::string message;
    message.reserve(line.size() + 1);
    message.append(line).push_back('\n');
    std::string_view rest = message;
    std::lock_guard lock(file.mutex);
    while (!rest.empty()) {
        const ssize_t written = ::write(file.descriptor, rest.data(), rest.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        rest.remove_prefix(static_cast<size_t>(written));
    }
}

}  // namespace

std::optional<std::string> sendConsoleToFile(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (descriptor < 0) return "cannot write '" + path + "' (" + std::strerror(errno) + ")";
    auto file = std::make_shared<ConsoleFileState>();
    file->descriptor = descriptor;
    (void)core::Console::setSink([file](std::string_view line) { writeLine(*file, line); });
    return std::nullopt;
}

}  // namespace tools
