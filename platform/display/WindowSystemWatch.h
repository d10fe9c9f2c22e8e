#pragma once
// Notices when the window system takes the desktop window away from
// outside: another client destroys the window, or closes the connection
// (as xkill does). Xlib would end the process with status 1 on the error
// that follows; the watch turns it into a flag that the desktop window
// treats as a close, so the app ends the way it does when the person
// closes the window.
//
// Xlib's error handlers are process-wide. Started before SDL opens its
// connections, the watch's handlers are also the ones SDL passes errors on
// to and puts back when it closes them. They take only what concerns the
// watched window (a request that names it failing because it no longer
// exists, on any connection) and its connection, and pass everything else
// to the handlers they replaced; reassert() puts them back in front when
// another library (GTK, once web views start) installed its own since.
// Main thread only; one watch at a time.

#include <memory>

namespace display {

class WindowSystemWatch {
public:
    // Installs the handlers; nullptr when a watch exists.
    [[nodiscard]] static std::unique_ptr<WindowSystemWatch> start();
    ~WindowSystemWatch();
    WindowSystemWatch(const WindowSystemWatch&) = delete;
    WindowSystemWatch& operator=(const WindowSystemWatch&) = delete;

    // The window (an X window id) on the connection (an Xlib Display).
    void watch(void* connection, unsigned long window);
    // Whether the window was destroyed or the connection lost. After the
    // connection is lost, nothing may be drawn or asked of it.
    [[nodiscard]] bool windowGone() const;
    [[nodiscard]] bool connectionLost() const;
    // Makes a round trip on the watched connection, so that a connection
    // closed from outside but not yet read from is noticed; answers whether
    // it is still there.
    [[nodiscard]] bool confirmConnection();
    // Puts the handlers back in front, for the window's present id (SDL
    // may make the window anew after it was first shown; 0 keeps the id).
    void reassert(unsigned long window);

    struct State;

private:
    explicit WindowSystemWatch(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace display
