#include "core/ProcessExit.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace core {

namespace {

// Never destroyed: its stops run while statics are still alive, and threads
// may register stops at any time.
struct Stops {
    std::mutex mutex;
    std::vector<ProcessExit::Stop> waiting;
    std::atomic<bool> running{false};
};

void runAll();

Stops& stops() {
    static Stops* const shared = [] {
        auto* created = new Stops;
        // The earliest point left when exit() is called on another thread
        // than the main one.
        std::atexit(runAll);
        return created;
    }();
    return *shared;
}

void runAll() {
    Stops& state = stops();
    for (;;) {
        ProcessExit::Stop stop;
        {
            std::lock_guard lock(state.mutex);
            state.running.store(true);
            if (state.waiting.empty()) return;
            stop = std::move(state.waiting.back());
            state.waiting.pop_back();
        }
        stop();
    }
}

bool onMainThread() {
    return static_cast<pid_t>(syscall(SYS_gettid)) == getpid();
}

// exit() destroys the exiting thread's thread_local objects before it runs
// any atexit handler or static destructor. The main thread's guard is made
// as the library's statics are, before main.
struct MainThreadGuard {
    ~MainThreadGuard() {
        if (onMainThread()) runAll();
    }
};

thread_local MainThreadGuard mainThreadGuard;

const bool guardArmed = [] {
    if (onMainThread()) (void)&mainThreadGuard;
    (void)stops();
    return true;
}();

}  // namespace

void ProcessExit::atStart(Stop stop) {
    Stops& state = stops();
    if (onMainThread()) (void)&mainThreadGuard;
    {
        std::lock_guard lock(state.mutex);
        if (!state.running.load()) {
            state.waiting.push_back(std::move(stop));
            return;
        }
    }
    stop();
}

void ProcessExit::runStops() {
    runAll();
}

bool ProcessExit::exiting() {
    return stops().running.load();
}

}  // namespace core
