#pragma once
// A GLib main context as a thread's one waiter: GLib's default context for
// the main thread, or a context of its own for a thread that serves GLib
// objects (the engine proxy's). Once
// install() has run (the first web context does it), core::RunLoop::main()
// is one source of that context: its poll time-out is the run loop's next
// timer (none with a manual clock, which wakes the context when advanced),
// and a post from any thread wakes the context. The run loop's run(),
// runOnce() and runUntil() keep their meaning and sleep in the context, so
// GTK's and the browser engine's events are dispatched while the app waits.
//
// install() and isInstalled(): main thread only. host(): the loop's own
// thread, which must be the only one to iterate the context.

#include <memory>

typedef struct _GMainContext GMainContext;

namespace core {
class RunLoop;
class RunLoopHost;
}  // namespace core

namespace web {

class MainLoop {
public:
    // Idempotent.
    static void install();
    [[nodiscard]] static bool isInstalled();
    // A host in which loop sleeps, as one source of context (referenced
    // until the host goes); hand it to loop.setHost().
    [[nodiscard]] static std::shared_ptr<core::RunLoopHost> host(core::RunLoop& loop,
                                                                 GMainContext* context);
};

}  // namespace web
