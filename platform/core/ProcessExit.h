#pragma once
// Work that must be done as the process begins to exit, before any static
// object is destroyed: stopping the process's own threads (the shared
// queues' workers, the network thread, the sound device, look-ups, the
// engine proxy) so that none of them runs on into torn-down state.
//
// A plain std::atexit handler is not enough for that: handlers and the
// destructors of statics run in the reverse order of their registration,
// so a static first used after a thread started is destroyed before that
// thread's handler stops it. The stops registered here run first: from the
// destructor of a thread_local object of the main thread, which exit()
// calls before any atexit handler or static destructor. When exit() is
// called on another thread they run from an atexit handler instead (the
// earliest point left).
//
// Stops run once, the last registered first, each on the exiting thread;
// a stop registered while they run runs at once. Safe from any thread.

#include <functional>

namespace core {

class ProcessExit {
public:
    using Stop = std::function<void()>;

    static void atStart(Stop stop);
    // Runs the stops registered so far (again: none of them); exit() does
    // this itself. For tests and for a process that ends by other means.
    static void runStops();
    // Whether the stops have begun to run.
    [[nodiscard]] static bool exiting();
};

}  // namespace core
