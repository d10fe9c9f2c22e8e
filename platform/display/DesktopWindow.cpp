#include "display/DesktopWindow.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "core/Clock.h"
#include "core/Console.h"
#include "core/RunLoop.h"
#include "display/WindowInput.h"
#include "display/WindowSystemWatch.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/Renderer.h"
#include "ui/Window.h"

namespace display {

namespace {

// Points the content moves per notch of the wheel, and the zoom per notch.
constexpr double kWheelStep = 48;
constexpr double kZoomStep = 1.1;
// Room left for the window manager's title bar and panels.
constexpr double kDecorationAllowance = 48;
// Milliseconds the window waits for events at most.
constexpr int kLongestWait = 1000;

double now() {
    return core::Clock::current()->monotonicSeconds();
}

// The X connection's socket, for waiting on it in another event loop; -1
// when not on X11.
int connectionOf(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info)) return -1;
#if defined(SDL_VIDEO_DRIVER_X11)
    if (info.subsystem == SDL_SYSWM_X11 && info.info.x11.display)
        return ConnectionNumber(info.info.x11.display);
#endif
    return -1;
}

// The X window of the SDL window; 0 when not on X11.
unsigned long xWindowOf(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11)
        return info.info.x11.window;
#else
    (void)window;
#endif
    return 0;
}

// On X11, watches the window for being taken away from outside.
void watchWindow(WindowSystemWatch& watch, SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11)
        watch.watch(info.info.x11.display, info.info.x11.window);
#else
    (void)watch;
    (void)window;
#endif
}

// Whether the event tells that another client destroyed the window.
bool destroyedFromOutside(const SDL_Event& event, SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
    const SDL_SysWMmsg* message = event.syswm.msg;
    if (!message || message->subsystem != SDL_SYSWM_X11) return false;
    const XEvent& xevent = message->msg.x11.event;
    return xevent.type == DestroyNotify && xevent.xdestroywindow.window == xWindowOf(window);
#else
    (void)event;
    (void)window;
    return false;
#endif
}

gfx::Size usableDesktop() {
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0 || usable.w <= 0 || usable.h <= 0) return {};
    return {double(usable.w), std::max(1.0, usable.h - kDecorationAllowance)};
}

}  // namespace

std::unique_ptr<DesktopWindow> DesktopWindow::create(std::shared_ptr<ui::Window> window,
                                                     const std::string& title, std::string* error) {
    const auto fail = [error](std::string message) -> std::unique_ptr<DesktopWindow> {
        if (error) *error = std::move(message);
        return nullptr;
    };
    if (!window) return fail("no app window to show");
    if (SDL_WasInit(SDL_INIT_VIDEO)) return fail("a desktop window is already open");
    // Before SDL's connections open, so that SDL passes its errors on to it.
    auto watch = WindowSystemWatch::start();
    // Frames are drawn on the CPU: SDL's GL path for the window surface (a
    // software GL without a GPU) would cost more than the drawing. The
    // environment's SDL_FRAMEBUFFER_ACCELERATION still decides first.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return fail(std::string("no display: ") + SDL_GetError());
    // Without a display SDL falls back to drivers that show nothing; those
    // only when asked for by name.
    const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
    if ((driver == "offscreen" || driver == "dummy") && !std::getenv("SDL_VIDEODRIVER")) {
        SDL_Quit();
        return fail("no display (DISPLAY or WAYLAND_DISPLAY is not set)");
    }
    const Uint32 wakeEvent = SDL_RegisterEvents(1);
    const ui::DeviceProfile& device = ui::DeviceProfile::current();
    const WindowFit fit = WindowFit::fit(window->bounds().size, device.scale, usableDesktop());
    SDL_Window* sdl =
        SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                         fit.pixelWidth, fit.pixelHeight, SDL_WINDOW_SHOWN);
    if (!sdl || wakeEvent == Uint32(-1)) {
        std::string message = std::string("cannot open a window: ") + SDL_GetError();
        if (sdl) SDL_DestroyWindow(sdl);
        SDL_Quit();
        return fail(std::move(message));
    }
    SDL_StartTextInput();
    // The window system's own events about the window: its destruction.
    (void)SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    auto desktop = std::make_unique<DesktopWindow>(Token{}, sdl, std::move(window), fit,
                                                   wakeEvent, connectionOf(sdl));
    if (watch) watchWindow(*watch, sdl);
    desktop->watch_ = std::move(watch);
    return desktop;
}

DesktopWindow::DesktopWindow(Token, SDL_Window* window, std::shared_ptr<ui::Window> appWindow,
                             WindowFit fit, unsigned wakeEvent, int connection)
    : sdl_(window), appWindow_(std::move(appWindow)), fit_(fit), wakeEvent_(wakeEvent),
      connection_(connection), driver_(std::make_unique<MainLoopDriver>([wakeEvent] {
          SDL_Event event{};
          event.type = wakeEvent;
          (void)SDL_PushEvent(&event);
      })) {
    // Frames follow the display's refresh rate while anything animates
    // (the app's window asks for one until its animations have ended).
    SDL_DisplayMode mode{};
    if (SDL_GetWindowDisplayMode(sdl_, &mode) == 0 && mode.refresh_rate > 0)
        frameInterval_ = 1.0 / mode.refresh_rate;
    terminateToken_ = core::NotificationCenter::defaultCenter().addObserver(
        ui::Application::WillTerminateNotification, nullptr, nullptr,
        [this](const core::Notification&) { terminated_ = true; });
}

DesktopWindow::~DesktopWindow() {
    core::NotificationCenter::defaultCenter().removeObserver(terminateToken_);
    connectionWatch_.reset();
    driver_.reset();  // no wake events once SDL is gone
    // Hiding the window waits for the window system to confirm it, which
    // never comes on a connection closed from outside (xkill): SDL would
    // wait for ever, and asking whether the window is mapped reads an
    // answer that never came. Without a connection there is nothing to take
    // down on the server; SDL's side ends with the process.
    if (watch_ && !watch_->confirmConnection()) return;
    SDL_StopTextInput();
    SDL_DestroyWindow(sdl_);
    SDL_Quit();  // the watch outlives SDL's connections
}

std::shared_ptr<ui::Window> DesktopWindow::shown() const {
    if (auto key = ui::Application::shared().keyWindow()) return key;
    return appWindow_;
}

void DesktopWindow::run() {
    while (!terminated_) {
        driver_->runDueWork();
        if (terminated_) break;
        if (watch_) {
            watch_->reassert(xWindowOf(sdl_));
            if (watch_->windowGone()) {
                close();
                break;
            }
        }
        const auto window = shown();
        if (frameDue(*window)) drawFrame(*window);
        waitAndHandle(waitMilliseconds(*window));
    }
}

void DesktopWindow::waitAndHandle(int wait) {
    SDL_Event event;
    // A connection the window system closed (xkill) is only seen inside
    // SDL's wait, which then sleeps or spins to its end: the wait is cut
    // short so that the loop notices within a second.
    if (watch_ && (wait < 0 || wait > kLongestWait)) wait = kLongestWait;
    const auto host = core::RunLoop::main().host();
    if (!host) {
        const int got = wait < 0 ? SDL_WaitEvent(&event) : SDL_WaitEventTimeout(&event, wait);
        if (!got) return;
        handle(event);
    } else if (connection_ >= 0) {
        // Events Xlib has read off the socket already count as readable.
        if (!connectionWatch_) {
            connectionWatch_ = host->watchReadable(connection_, [] {
                SDL_PumpEvents();
                return SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) == SDL_TRUE;
            });
        }
        host->iterate(wait < 0 ? std::nullopt : std::optional<double>(wait / 1000.0));
    } else {
        // No socket to watch (not X11): the host's wait is cut short so that
        // window events are looked at every frame interval.
        const int frame = MainLoopDriver::toMilliseconds(frameInterval_);
        host->iterate((wait < 0 ? frame : std::min(wait, frame)) / 1000.0);
    }
    while (!terminated_ && !gone() && SDL_PollEvent(&event)) handle(event);
}

bool DesktopWindow::gone() const {
    return watch_ && watch_->windowGone();
}

bool DesktopWindow::frameDue(const ui::Window& window) const {
    if (&window != framed_) return true;
    return window.needsDisplay() && now() - lastFrameTime_ >= frameInterval_;
}

int DesktopWindow::waitMilliseconds(const ui::Window& window) const {
    int wait = driver_->waitMilliseconds();
    if (window.needsDisplay() || &window != framed_) {
        const double untilFrame = std::max(0.0, lastFrameTime_ + frameInterval_ - now());
        const int frame = MainLoopDriver::toMilliseconds(untilFrame);
        wait = wait < 0 ? frame : std::min(wait, frame);
    }
    return wait;
}

void DesktopWindow::drawFrame(ui::Window& window) {
    if (gone()) return;
    window.layoutTree();
    // Only the parts that changed, over the frame shown last, when that is
    // this window's frame surface as it was presented.
    const bool overLast = &window == framed_ && frame_ && frame_ == window.frameSurface();
    const std::optional<gfx::Rect> region = overLast ? window.needsDisplayRect() : std::nullopt;
    window.clearNeedsDisplay();
    lastFrameTime_ = now();
    framed_ = &window;  // a failed frame is tried again on the next change, not at once
    gfx::Rect drawn;
    const gfx::Bitmap* frame =
        region ? ui::Renderer::drawFrame(window, fit_.pixelsPerPoint, *region, &drawn)
               : ui::Renderer::drawFrame(window, fit_.pixelsPerPoint);
    if (!frame) {
        core::Console::log("DesktopWindow: cannot render the window");
        return;
    }
    frame_ = window.frameSurface();
    ++frames_;
    if (region) {
        present(drawn);
    } else {
        present();
    }
}

void DesktopWindow::present() {
    if (frame_) present(gfx::Rect(0, 0, frame_->pixelWidth(), frame_->pixelHeight()));
}

void DesktopWindow::present(const gfx::Rect& pixels) {
    if (!frame_ || gone()) return;
    SDL_Surface* surface = SDL_GetWindowSurface(sdl_);
    if (!surface) {
        core::Console::log(std::string("DesktopWindow: no window surface: ") + SDL_GetError());
        return;
    }
    const gfx::Rect shown = pixels.integral().intersection(
        gfx::Rect(0, 0, std::min(surface->w, frame_->pixelWidth()),
                  std::min(surface->h, frame_->pixelHeight())));
    if (shown.isEmpty()) return;
    const SDL_Rect rect{int(shown.minX()), int(shown.minY()), int(shown.width()),
                        int(shown.height())};
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
    // Premultiplied pixels over the black window are their colour channels.
    const auto* from = frame_->pixels().data() + size_t(rect.y) * size_t(frame_->pixelWidth()) +
                       size_t(rect.x);
    auto* to = static_cast<std::uint8_t*>(surface->pixels) + size_t(rect.y) * size_t(surface->pitch) +
               size_t(rect.x) * surface->format->BytesPerPixel;
    const int converted =
        SDL_ConvertPixels(rect.w, rect.h, SDL_PIXELFORMAT_ARGB8888, from, frame_->pixelWidth() * 4,
                          surface->format->format, to, surface->pitch);
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    if (converted != 0 || SDL_UpdateWindowSurfaceRects(sdl_, &rect, 1) != 0)
        core::Console::log(std::string("DesktopWindow: cannot show a frame: ") + SDL_GetError());
}

void DesktopWindow::handle(const SDL_Event& event) {
    const auto window = shown();
    switch (event.type) {
    case SDL_QUIT:
        close();
        break;
    case SDL_WINDOWEVENT:
        handleWindowEvent(event);
        break;
    case SDL_SYSWMEVENT:
        // Another client destroyed the window: a close, as from the person.
        if (destroyedFromOutside(event, sdl_)) close();
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == SDL_BUTTON_LEFT)
            touches_.press(*window, fit_.pointAt(event.button.x, event.button.y));
        break;
    case SDL_MOUSEMOTION:
        if (event.motion.state & SDL_BUTTON_LMASK)
            touches_.move(fit_.pointAt(event.motion.x, event.motion.y));
        break;
    case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT)
            touches_.release(fit_.pointAt(event.button.x, event.button.y));
        break;
    case SDL_MOUSEWHEEL:
        handleWheel(event);
        break;
    case SDL_TEXTINPUT:
        (void)WindowInput::insertText(*window, event.text.text);
        break;
    case SDL_KEYDOWN:
        handleKey(event);
        break;
    default:
        break;  // the wake event only ends the wait
    }
}

void DesktopWindow::handleWindowEvent(const SDL_Event& event) {
    ui::Application& application = ui::Application::shared();
    switch (event.window.event) {
    case SDL_WINDOWEVENT_CLOSE:
        close();
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        present();
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        touches_.cancel();
        application.enterBackground();
        break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        application.becomeActive();
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        application.resignActive();
        break;
    default:
        break;
    }
}

void DesktopWindow::handleKey(const SDL_Event& event) {
    ui::Window& window = *shown();
    switch (event.key.keysym.sym) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        (void)WindowInput::pressReturn(window);
        break;
    case SDLK_BACKSPACE:
        (void)WindowInput::deleteBackward(window);
        break;
    case SDLK_ESCAPE:
        if (!event.key.repeat) (void)WindowInput::goBack(window);
        break;
    case SDLK_LEFT:
    case SDLK_RIGHT:
        // Alt and an arrow alone, as browsers take them; a key held down
        // takes one step.
        if (!event.key.repeat && (event.key.keysym.mod & KMOD_ALT) &&
            !(event.key.keysym.mod & (KMOD_CTRL | KMOD_SHIFT | KMOD_GUI)))
            (void)WindowInput::stepInHistory(window, event.key.keysym.sym == SDLK_LEFT
                                                         ? ui::HistoryStep::Back
                                                         : ui::HistoryStep::Forward);
        break;
    default:
        break;
    }
}

void DesktopWindow::handleWheel(const SDL_Event& event) {
    const double flip = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
    double x = event.wheel.preciseX * flip;
    double y = event.wheel.preciseY * flip;
    int pointerX = 0;
    int pointerY = 0;
    (void)SDL_GetMouseState(&pointerX, &pointerY);
    const gfx::Point at = fit_.pointAt(pointerX, pointerY);
    const SDL_Keymod mods = SDL_GetModState();
    ui::Window& window = *shown();
    if (mods & KMOD_CTRL) {
        (void)WindowInput::zoom(window, at, std::pow(kZoomStep, y));
        return;
    }
    if ((mods & KMOD_SHIFT) && x == 0) {
        x = -y;  // wheel down with shift goes right
        y = 0;
    }
    // Wheel up (away from the person) shows what is above: the offset shrinks.
    (void)WindowInput::scroll(window, at, {x * kWheelStep, -y * kWheelStep});
}

void DesktopWindow::close() {
    touches_.cancel();
    if (!terminated_) ui::Application::shared().terminate();
    terminated_ = true;
}

}  // namespace display
