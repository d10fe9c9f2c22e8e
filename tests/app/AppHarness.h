#pragma once
// Launches the whole app against the local photo and quote services, on a
// manual clock, for scenario tests: the app's timers and animations follow
// settle(); network answers are real loopback I/O, waited for with
// waitFor(). Each harness starts from empty feed histories and favourites,
// unless it is the next launch of an earlier harness's home.

#include <functional>
#include <memory>

#include "ads/core/app/DZApplication.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "app/AppDelegate.h"
#include "app/services/AppConfiguration.h"
#include "core/PendingWork.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"
#include "fixtures/LocalServices.h"
#include "support/ManualClockScope.h"
#include "ui/TouchInjector.h"

namespace testsupport {

struct AppHarnessOptions {
    // The photo service by its stable origin, as the tool's embedded default
    // runs it.
    bool stableOrigin = false;
    // The feeds and favourites earlier harnesses stored stay: a later
    // launch with the same home.
    bool keepStored = false;
};

class AppHarness {
public:
    explicit AppHarness(AppHarnessOptions options = {})
        : previous_(app::AppConfiguration::current()) {
        ui::Application::shared().resetForTesting();
        if (options.stableOrigin) services_.useStableOrigin();
        // The SDK's app-settings request at launch stays in the process: the
        // app's tests do not start the SDK core page (the SDK's tests do).
        ads::DZApplication::setScriptBuilderReceiverForTesting(
            [](ads::DZSDKCoreController::ScriptBuilder) {});
        app::AppConfiguration::set(
            {services_.photoAPIBase(), services_.photoWebBase(), services_.quoteURL()});
        if (options.keepStored) return;
        auto defaults = core::UserDefaults::standard();
        for (const char* key : {"DISCOVERY_HISTORY", "DISCOVERY_POPULAR_HISTORY", "SEARCH_HISTORY",
                                "USER_COLLECT_PHOTOS", "USR_DEF_KEY_SEARCH_KEYWORD"})
            defaults->removeObjectForKey(key);
    }
    ~AppHarness() {
        ui::Application::shared().resetForTesting();
        ads::DZApplication::setScriptBuilderReceiverForTesting(nullptr);
        app::AppConfiguration::set(previous_);
    }
    AppHarness(const AppHarness&) = delete;
    AppHarness& operator=(const AppHarness&) = delete;

    // Launches and lets the launch's delayed work run.
    void launch() {
        delegate_ = std::make_shared<app::AppDelegate>();
        ui::Application::shared().launch(delegate_);
        settle(0.5);
    }
    // Moves the clock in frame-sized steps, running the main loop each time.
    void settle(double seconds) {
        for (double t = 0; t < seconds - 1e-9; t += 1.0 / 60) {
            clock_.advance(1.0 / 60);
            core::RunLoop::main().runOnce();
        }
    }
    // Runs the main loop until the predicate holds (real time, for network
    // answers); false after limitSeconds.
    bool waitFor(const std::function<bool()>& predicate, double limitSeconds = 10) {
        return core::RunLoop::main().runUntil(predicate, limitSeconds);
    }
    // Runs the main loop until no work is under way (core::PendingWork), the
    // clock standing still: whatever the app's answers and jobs so far were
    // going to do has happened. False after limitSeconds of real time.
    [[nodiscard]] bool waitForQuiet(double limitSeconds = 10) {
        return waitFor([] { return !core::PendingWork::any(); }, limitSeconds);
    }

    [[nodiscard]] fixtures::PhotoService& photos() { return services_.photos(); }
    [[nodiscard]] fixtures::LocalServices& services() { return services_; }
    [[nodiscard]] fixtures::QuoteService& quotes() { return services_.quotes(); }
    [[nodiscard]] fixtures::AdServer& ads() { return services_.ads(); }
    [[nodiscard]] core::ManualClock& clock() { return clock_.clock(); }
    [[nodiscard]] const std::shared_ptr<app::AppDelegate>& delegate() const { return delegate_; }
    [[nodiscard]] ui::Window& window() const { return *delegate_->window(); }
    [[nodiscard]] app::QZTabViewController& tabs() const { return *delegate_->qzTabVc(); }
    [[nodiscard]] ui::TouchInjector touches() const { return ui::TouchInjector(window()); }

private:
    ManualClockScope clock_;
    fixtures::LocalServices services_;
    app::AppConfiguration previous_;
    std::shared_ptr<app::AppDelegate> delegate_;
};

}  // namespace testsupport
