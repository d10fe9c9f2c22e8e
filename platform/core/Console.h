#pragma once
// The app's console: one line per message on standard output. Callable from
// any thread; each message goes out in a single write, so messages from
// several threads never interleave, even when they hold newlines of their own.
//
// Tests replace the output with a sink, or hold a Console::Capture that
// collects every line logged while it lives.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace core {

class Console {
public:
    // Receives each message without the trailing newline.
    using Sink = std::function<void(std::string_view)>;

    static void log(std::string_view line);
    // An empty sink restores standard output. Answers the previous sink.
    static Sink setSink(Sink sink);

    // Collects the messages logged while it lives, then restores the
    // previous sink. Captures nest.
    class Capture {
    public:
        Capture();
        ~Capture();
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;

        [[nodiscard]] std::vector<std::string> lines() const;
        // Whether some line contains text.
        [[nodiscard]] bool contains(std::string_view text) const;

    private:
        struct Lines {
            std::mutex mutex;
            std::vector<std::string> lines;
        };
        // Shared with the sink, which another thread may still be running.
        std::shared_ptr<Lines> lines_ = std::make_shared<Lines>();
        Sink previous_;
    };
};

}  // namespace core
