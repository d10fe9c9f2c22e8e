#pragma once
// The background thread that writes UserDefaults stores to disk, so a change
// costs its caller no file I/O. Jobs run one at a time in the order they
// were scheduled. The thread starts on first use and lives as long as the
// process; a child made by fork() starts a writer of its own when it first
// schedules a job.

#include <functional>

namespace core {

class DefaultsWriter {
public:
    // Callable from any thread.
    static void schedule(std::function<void()> job);
};

}  // namespace core
