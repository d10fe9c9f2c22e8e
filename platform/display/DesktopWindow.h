#pragma once
// The app on a desktop: a window (SDL) of the device screen's size at the
// device scale, shrunk to fit the desktop, that shows the app's key window
// as it changes and turns a person's input into the app's events: the left
// mouse button is a finger (PointerTouches), the wheel scrolls and, with
// ctrl, zooms, typed text, Return and Backspace go to the first responder,
// Escape goes back, and Alt with Left or Right steps back or forward in the
// page history of the screen shown, such as an in-app browser
// (WindowInput). Minimising and focus move the
// application between background, inactive and active.
//
// run() drives the main run loop itself: it runs the work that is due, draws
// a frame when the window's needs-display flag is set (at most 60 a second;
// only the marked part when views marked parts of themselves, such as a web
// view whose page drew),
// and otherwise sleeps until an event arrives, work is posted from another
// thread or the next timer is due: in SDL's event wait, or, once the main
// run loop has a host (GLib's main context when web views exist), in the
// host, with the window system's connection as one of its sources. Closing the window
// (or SIGINT/SIGTERM, or another client destroying the window or closing
// the connection) terminates the application the way the platform ends an
// app; run() returns once it has. Main thread only; one at a time.

#include <memory>
#include <optional>
#include <string>

#include "core/NotificationCenter.h"
#include "display/MainLoopDriver.h"
#include "display/PointerTouches.h"
#include "display/WindowFit.h"
#include "display/WindowSystemWatch.h"
#include "gfx/Bitmap.h"

struct SDL_Window;
union SDL_Event;

namespace ui {
class Window;
}  // namespace ui

namespace display {

class DesktopWindow {
public:
    // Opens the window for the app's window (shown until another one is
    // made key). nullptr with a message when there is no display.
    [[nodiscard]] static std::unique_ptr<DesktopWindow>
    create(std::shared_ptr<ui::Window> window, const std::string& title, std::string* error);
    ~DesktopWindow();
    DesktopWindow(const DesktopWindow&) = delete;
    DesktopWindow& operator=(const DesktopWindow&) = delete;

    [[nodiscard]] const WindowFit& fit() const { return fit_; }
    // Frames drawn so far.
    [[nodiscard]] size_t frameCount() const { return frames_; }

    // Until the application terminates.
    void run();

private:
    struct Token {};

public:
    DesktopWindow(Token, SDL_Window* window, std::shared_ptr<ui::Window> appWindow, WindowFit fit,
                  unsigned wakeEvent, int connection);

private:
    // The app window being shown: the key window, else the one given.
    [[nodiscard]] std::shared_ptr<ui::Window> shown() const;
    [[nodiscard]] bool frameDue(const ui::Window& window) const;
    // Milliseconds until the next thing to do; -1: wait for an event.
    [[nodiscard]] int waitMilliseconds(const ui::Window& window) const;
    // Sleeps up to wait milliseconds (-1: until something happens), then
    // handles the events that came.
    void waitAndHandle(int wait);
    void drawFrame(ui::Window& window);
    void present();
    // The part of the frame given in its pixels.
    void present(const gfx::Rect& pixels);
    void handle(const SDL_Event& event);
    void handleWindowEvent(const SDL_Event& event);
    void handleKey(const SDL_Event& event);
    void handleWheel(const SDL_Event& event);
    void close();
    // The window system took the window away (WindowSystemWatch).
    [[nodiscard]] bool gone() const;

    SDL_Window* sdl_;
    std::shared_ptr<ui::Window> appWindow_;
    WindowFit fit_;
    unsigned wakeEvent_;
    int connection_;  // the window system's socket; -1 when unknown
    std::shared_ptr<void> connectionWatch_;
    std::unique_ptr<MainLoopDriver> driver_;
    std::unique_ptr<WindowSystemWatch> watch_;
    PointerTouches touches_;
    core::NotificationCenter::Token terminateToken_;
    bool terminated_ = false;
    std::shared_ptr<gfx::Bitmap> frame_;  // the app window's frame surface
    const ui::Window* framed_ = nullptr;  // the window last drawn
    double lastFrameTime_ = -1;
    // Seconds between frames: the display's refresh rate, else 60 a second.
    double frameInterval_ = 1.0 / 60;
    size_t frames_ = 0;
};

}  // namespace display
