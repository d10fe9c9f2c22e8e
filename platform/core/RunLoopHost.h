#pragma once
// Another event loop that a run loop's thread sleeps in instead of the run
// loop's own wait, with the run loop as one of its event sources: the main
// thread sleeps in GLib's main context once web views exist. A run loop with
// a host waits through iterate() in run(), runOnce() and runUntil(), wakes
// the host through wake() whenever work arrives, and runs its passes from
// the host's dispatch (RunLoop::dispatchFromHost) or itself.
//
// iterate() and watchReadable() are called on the loop's thread; wake() from
// any thread, with the loop's lock held, so it may only signal.

#include <functional>
#include <memory>
#include <optional>

namespace core {

class RunLoopHost {
public:
    virtual ~RunLoopHost() = default;

    // Waits up to maxSeconds of real time (nullopt: until an event or a
    // wake) for any of the host's sources, then dispatches those ready, the
    // run loop's passes among them.
    virtual void iterate(std::optional<double> maxSeconds) = 0;
    virtual void wake() = 0;
    // Makes iterate() return when fd becomes readable or when hasBuffered()
    // answers true (events read from fd into a buffer already), for as long
    // as the answered token lives. The desktop window watches its window
    // system connection this way.
    [[nodiscard]] virtual std::shared_ptr<void>
    watchReadable(int fd, std::function<bool()> hasBuffered) = 0;
};

}  // namespace core
