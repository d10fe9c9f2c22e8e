#pragma once
// The running app: its delegate, lifecycle state and notifications, its
// windows and key window, and the background tasks that ask for time to
// finish work once the app has left the screen. ApplicationMain binds the
// main run loop, creates the delegate, launches and runs the loop until
// terminate(). The headless tool and the tests call launch() instead and
// drive the run loop themselves. Main thread only.
//
// Background time: kBackgroundTimeAllowance seconds on the current clock
// after the app enters the background, every background task still held
// expires: its expiry handler runs and the task ends. Returning to the
// foreground before that keeps the tasks running without a limit.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "gfx/Geometry.h"
#include "ui/Responder.h"

namespace core {
class Timer;
}  // namespace core

namespace ui {

class Window;
class Application;

class ApplicationDelegate : public Responder {
public:
    virtual bool didFinishLaunching(Application& application) = 0;
    virtual void willResignActive(Application&) {}
    virtual void didEnterBackground(Application&) {}
    virtual void willEnterForeground(Application&) {}
    virtual void didBecomeActive(Application&) {}
    virtual void willTerminate(Application&) {}
    // The app's main window, for code that asks the delegate for it.
    [[nodiscard]] virtual std::shared_ptr<Window> window() const { return nullptr; }
    // The interface orientations (bit 1 << orientation) the app allows in
    // the window; nullopt leaves the answer to the application.
    [[nodiscard]] virtual std::optional<unsigned long>
    supportedInterfaceOrientationsForWindow(Application&, const Window*) {
        return std::nullopt;
    }
};

enum class ApplicationState { Active, Inactive, Background };

using BackgroundTaskIdentifier = std::uint64_t;
inline constexpr BackgroundTaskIdentifier InvalidBackgroundTask = 0;

class Application : public Responder {
public:
    static constexpr double kBackgroundTimeAllowance = 30.0;
    // Notification names, posted on the main thread with the application as
    // object, after the delegate's matching callback.
    static constexpr const char* DidFinishLaunchingNotification = "ApplicationDidFinishLaunching";
    static constexpr const char* DidBecomeActiveNotification = "ApplicationDidBecomeActive";
    static constexpr const char* WillResignActiveNotification = "ApplicationWillResignActive";
    static constexpr const char* DidEnterBackgroundNotification = "ApplicationDidEnterBackground";
    static constexpr const char* WillEnterForegroundNotification = "ApplicationWillEnterForeground";
    static constexpr const char* WillTerminateNotification = "ApplicationWillTerminate";

    static Application& shared();

    [[nodiscard]] std::shared_ptr<ApplicationDelegate> delegate() const { return delegate_; }
    [[nodiscard]] ApplicationState state() const { return state_; }

    // Sets the delegate, calls didFinishLaunching, posts the launch
    // notification, then becomes active. Launching twice stops the process.
    bool launch(std::shared_ptr<ApplicationDelegate> delegate);
    // Lifecycle moves (the desktop window and tests drive them).
    void resignActive();
    void enterBackground();
    void enterForeground();
    void becomeActive();
    // Will-terminate callback and notification, then stops the main run
    // loop's run().
    void terminate();

    // Background tasks. begin answers a new identifier (never
    // InvalidBackgroundTask, never reused); the handler runs at most once,
    // when the background time runs out while the task is held. end forgets
    // the task; an unknown or invalid identifier is ignored.
    [[nodiscard]] BackgroundTaskIdentifier
    beginBackgroundTask(std::function<void()> expirationHandler);
    void endBackgroundTask(BackgroundTaskIdentifier identifier);
    [[nodiscard]] size_t backgroundTaskCount() const { return backgroundTasks_.size(); }
    // Runs out the background time now, whatever the state: each task held
    // has its handler run (in the order begun) and ends.
    void expireBackgroundTasks();

    // Windows in the order they were made visible; the key window is the
    // last one made key.
    [[nodiscard]] std::vector<std::shared_ptr<Window>> windows() const;
    [[nodiscard]] std::shared_ptr<Window> keyWindow() const { return keyWindow_.lock(); }
    void registerWindow(const std::shared_ptr<Window>& window);
    void makeKeyWindow(const std::shared_ptr<Window>& window);

    // The delegate's window when it gives one, else the key window.
    [[nodiscard]] std::shared_ptr<Window> mainWindow() const;
    // Whether the main window is smaller than the screen (the app shares the
    // screen with another).
    [[nodiscard]] bool isSplitScreen() const;

    // 0 while the status bar is hidden (by the flag, or by the controller
    // shown on top of the key window).
    [[nodiscard]] double statusBarHeight() const;
    // The application-wide flag; a controller that prefers the status bar
    // hidden hides it too (statusBarHeight) without setting the flag.
    [[nodiscard]] bool isStatusBarHidden() const { return statusBarHidden_; }
    void setStatusBarHidden(bool hidden);
    // The screen less the status bar at its top.
    [[nodiscard]] gfx::Rect applicationFrame() const;
    // Whether the device may dim and lock while the app is active.
    [[nodiscard]] bool isIdleTimerDisabled() const { return idleTimerDisabled_; }
    void setIdleTimerDisabled(bool disabled) { idleTimerDisabled_ = disabled; }

    // Seconds a turn of the interface takes.
    static constexpr double kStatusBarOrientationAnimationDuration = 0.3;
    [[nodiscard]] double statusBarOrientationAnimationDuration() const {
        return kStatusBarOrientationAnimationDuration;
    }
    // The interface orientation the screen is shown in (1 portrait, 2 upside
    // down, 3 landscape right, 4 landscape left): the device profile's.
    [[nodiscard]] long statusBarOrientation() const;
    // The orientations Info.json lists under "UISupportedInterfaceOrientations"
    // (as "UIInterfaceOrientationPortrait", ...), as a mask; 0 without any.
    [[nodiscard]] static unsigned long infoSupportedInterfaceOrientations();
    // The delegate's answer when it gives one; else Info.json's mask; else
    // portrait only (mask 2).
    [[nodiscard]] unsigned long supportedInterfaceOrientationsForWindow(const Window* window);

    // Turns the interface (tests, the desktop window, the rule below): every
    // controller shown in a window gets willRotateToInterfaceOrientation;
    // the device profile turns (screen width and height swap between
    // portrait and landscape); windows that covered the screen take its new
    // bounds (Window::transitionToSize: viewWillTransitionToSize, layout);
    // DeviceProfile::StatusBarOrientationDidChangeNotification is posted;
    // the controllers get didRotateFromInterfaceOrientation. An invalid or
    // the current orientation does nothing.
    void rotateInterface(long orientation);
    // The user turns the device: the interface follows when the key
    // window's top controller shouldAutorotate and it and the application
    // allow the orientation.
    void turnDevice(long orientation);
    // The rule after each presentation and dismissal: when the orientations
    // the window's top controller and the application allow exclude the
    // current one, the interface turns to the first allowed one. None
    // allowed at all: a console warning, no turn.
    void enforceSupportedOrientation(const Window& window);

    // The delegate (touches no window handled end there).
    [[nodiscard]] Responder* nextResponder() const override { return delegate_.get(); }

    // Forgets delegate, windows, background tasks, flags and state so a test
    // can launch again.
    void resetForTesting();

private:
    void startBackgroundTime();
    void stopBackgroundTime();

    std::shared_ptr<ApplicationDelegate> delegate_;
    ApplicationState state_ = ApplicationState::Inactive;
    bool launched_ = false;
    std::vector<std::weak_ptr<Window>> windows_;
    std::weak_ptr<Window> keyWindow_;
    BackgroundTaskIdentifier lastBackgroundTask_ = InvalidBackgroundTask;
    std::map<BackgroundTaskIdentifier, std::function<void()>> backgroundTasks_;
    std::shared_ptr<core::Timer> backgroundTimeLimit_;
    bool statusBarHidden_ = false;
    bool idleTimerDisabled_ = false;
};

// Binds the main run loop to the calling thread, launches the delegate made
// by the factory and runs the main run loop until the app terminates.
int ApplicationMain(int argc, char** argv,
                    const std::function<std::shared_ptr<ApplicationDelegate>()>& makeDelegate);

}  // namespace ui
