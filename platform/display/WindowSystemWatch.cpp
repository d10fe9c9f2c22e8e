#include "display/WindowSystemWatch.h"

#include <X11/Xlib.h>

namespace display {

struct WindowSystemWatch::State {
    Display* connection = nullptr;
    Window window = 0;
    bool windowGone = false;
    bool connectionLost = false;
    XErrorHandler previousError = nullptr;
    XIOErrorHandler previousIOError = nullptr;
};

namespace {

// The one watch the process-wide handlers serve.
WindowSystemWatch::State* active = nullptr;
// Set while a handler passes an error on: a handler that passes it back to
// ours (SDL's, installed over ours) must not go round again.
bool passingOn = false;

int onError(Display* connection, XErrorEvent* error) {
    // The window was destroyed under us: every request naming it fails, on
    // whichever of SDL's connections it was made. Resource ids are unique
    // on their server.
    const bool missing = error->error_code == BadWindow || error->error_code == BadDrawable;
    if (active && active->window && missing && error->resourceid == active->window) {
        active->windowGone = true;
        return 0;
    }
    if (passingOn || !active || !active->previousError) return 0;
    passingOn = true;
    const int result = active->previousError(connection, error);
    passingOn = false;
    return result;
}

int onIOError(Display* connection) {
    if (active && connection == active->connection) {
        active->connectionLost = true;
        active->windowGone = true;
        return 0;  // the exit handler below decides
    }
    if (passingOn || !active || !active->previousIOError) return 0;
    passingOn = true;
    const int result = active->previousIOError(connection);
    passingOn = false;
    return result;
}

// Called by Xlib in place of exit(1) once our connection is lost; Xlib then
// marks the connection dead, and later calls on it fail without a request.
void onIOErrorExit(Display*, void*) {}

}  // namespace

std::unique_ptr<WindowSystemWatch> WindowSystemWatch::start() {
    if (active) return nullptr;
    auto state = std::make_unique<State>();
    active = state.get();
    std::unique_ptr<WindowSystemWatch> watch(new WindowSystemWatch(std::move(state)));
    watch->reassert(0);
    return watch;
}

WindowSystemWatch::WindowSystemWatch(std::unique_ptr<State> state) : state_(std::move(state)) {}

WindowSystemWatch::~WindowSystemWatch() {
    // Our handlers stay only where nothing replaced them since.
    const XErrorHandler error = XSetErrorHandler(state_->previousError);
    if (error != onError) XSetErrorHandler(error);
    const XIOErrorHandler ioError = XSetIOErrorHandler(state_->previousIOError);
    if (ioError != onIOError) XSetIOErrorHandler(ioError);
    if (active == state_.get()) active = nullptr;
}

void WindowSystemWatch::watch(void* connection, unsigned long window) {
    state_->connection = static_cast<Display*>(connection);
    state_->window = window;
    if (state_->connection) XSetIOErrorExitHandler(state_->connection, onIOErrorExit, nullptr);
}

bool WindowSystemWatch::windowGone() const {
    return state_->windowGone;
}

bool WindowSystemWatch::connectionLost() const {
    return state_->connectionLost;
}

bool WindowSystemWatch::confirmConnection() {
    // Xlib calls the handlers above if the socket is closed, and then
    // answers without waiting for a reply that cannot come.
    if (state_->connection && !state_->connectionLost) XSync(state_->connection, False);
    return !state_->connectionLost;
}

void WindowSystemWatch::reassert(unsigned long window) {
    if (window) state_->window = window;
    if (const XErrorHandler error = XSetErrorHandler(onError); error != onError)
        state_->previousError = error;
    if (const XIOErrorHandler ioError = XSetIOErrorHandler(onIOError); ioError != onIOError)
        state_->previousIOError = ioError;
}

}  // namespace display
