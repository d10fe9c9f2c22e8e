#pragma once
// GLib's default main context as the main thread's one waiter. Once
// install() has run (the first web context does it), core::RunLoop::main()
// is one source of that context: its poll time-out is the run loop's next
// timer (none with a manual clock, which wakes the context when advanced),
// and a post from any thread wakes the context. The run loop's run(),
// runOnce() and runUntil() keep their meaning and sleep in the context, so
// GTK's and the browser engine's events are dispatched while the app waits.
//
// Main thread only.

namespace web {

class MainLoop {
public:
    // Idempotent.
    static void install();
    [[nodiscard]] static bool isInstalled();
};

}  // namespace web
