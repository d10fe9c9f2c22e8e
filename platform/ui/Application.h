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

    [[nodiscard]] double statusBarHeight() const;
    // The interface orientation the screen is shown in (1 portrait, 2 upside
    // down, 3 landscape right, 4 landscape left): the device profile's.
    [[nodiscard]] long statusBarOrientation() const;
    // The delegate's answer when it gives one; else portrait only (mask 2),
    // as the platform does not rotate.
    [[nodiscard]] unsigned long supportedInterfaceOrientationsForWindow(const Window* window);

    // The delegate (touches no window handled end there).
    [[nodiscard]] Responder* nextResponder() const override { return delegate_.get(); }

    // Forgets delegate, windows, background tasks and state so a test can
    // launch again.
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
};

// Binds the main run loop to the calling thread, launches the delegate made
// by the factory and runs the main run loop until the app terminates.
int ApplicationMain(int argc, char** argv,
                    const std::function<std::shared_ptr<ApplicationDelegate>()>& makeDelegate);

}  // namespace ui
