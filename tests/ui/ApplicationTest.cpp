#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DeviceProfileScope.h"
#include "core/NotificationCenter.h"
#include "core/Queue.h"
#include "core/RunLoop.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/NavigationController.h"
#include "ui/Window.h"

using ui::Application;
using ui::ApplicationState;
using ui::Window;

namespace {

// Logs each callback with the state the application reports during it.
class LoggingDelegate : public ui::ApplicationDelegate {
public:
    explicit LoggingDelegate(std::vector<std::string>& log) : log_(log) {}
    bool didFinishLaunching(Application& app) override {
        note("didFinishLaunching", app);
        if (onLaunch) onLaunch();
        return true;
    }
    void willResignActive(Application& app) override { note("willResignActive", app); }
    void didEnterBackground(Application& app) override { note("didEnterBackground", app); }
    void willEnterForeground(Application& app) override { note("willEnterForeground", app); }
    void didBecomeActive(Application& app) override { note("didBecomeActive", app); }
    void willTerminate(Application& app) override { note("willTerminate", app); }

    std::function<void()> onLaunch;

private:
    void note(const std::string& what, Application& app) {
        static const char* const names[] = {"active", "inactive", "background"};
        log_.push_back(what + "/" + names[static_cast<int>(app.state())]);
    }
    std::vector<std::string>& log_;
};

class ApplicationTest : public testing::Test {
protected:
    void SetUp() override {
        Application::shared().resetForTesting();
        for (const char* name :
             {Application::DidFinishLaunchingNotification, Application::DidBecomeActiveNotification,
              Application::WillResignActiveNotification,
              Application::DidEnterBackgroundNotification,
              Application::WillEnterForegroundNotification,
              Application::WillTerminateNotification}) {
            tokens.push_back(core::NotificationCenter::defaultCenter().addObserver(
                name, &Application::shared(), nullptr,
                [this](const core::Notification& n) { log.push_back("note " + n.name); }));
        }
    }
    void TearDown() override {
        for (const auto token : tokens)
            core::NotificationCenter::defaultCenter().removeObserver(token);
        Application::shared().resetForTesting();
    }

    std::vector<std::string> log;
    std::vector<core::NotificationCenter::Token> tokens;
};

TEST_F(ApplicationTest, LaunchCallsBackThenNotifiesThenBecomesActive) {
    const auto delegate = std::make_shared<LoggingDelegate>(log);
    EXPECT_TRUE(Application::shared().launch(delegate));
    EXPECT_EQ(log, (std::vector<std::string>{
                       "didFinishLaunching/inactive", "note ApplicationDidFinishLaunching",
                       "didBecomeActive/active", "note ApplicationDidBecomeActive"}));
    EXPECT_EQ(Application::shared().delegate(), delegate);
    EXPECT_EQ(Application::shared().nextResponder(), delegate.get());
}

TEST_F(ApplicationTest, LifecycleMovesPassThroughInactive) {
    auto& app = Application::shared();
    (void)app.launch(std::make_shared<LoggingDelegate>(log));
    log.clear();
    app.enterBackground();
    EXPECT_EQ(app.state(), ApplicationState::Background);
    app.enterBackground();
    app.becomeActive();
    EXPECT_EQ(log, (std::vector<std::string>{
                       "willResignActive/active", "note ApplicationWillResignActive",
                       "didEnterBackground/background", "note ApplicationDidEnterBackground",
                       "willEnterForeground/background", "note ApplicationWillEnterForeground",
                       "didBecomeActive/active", "note ApplicationDidBecomeActive"}));
}

TEST_F(ApplicationTest, WindowsInOrderWithTheLastMadeKey) {
    auto& app = Application::shared();
    const auto first = std::make_shared<Window>();
    const auto second = std::make_shared<Window>();
    {
        const auto gone = std::make_shared<Window>();
        gone->makeKeyAndVisible();
    }
    first->makeKeyAndVisible();
    second->makeKeyAndVisible();
    EXPECT_EQ(app.windows(), (std::vector<std::shared_ptr<Window>>{first, second}));
    EXPECT_EQ(app.keyWindow(), second);
    EXPECT_FALSE(first->isKeyWindow());

    app.makeKeyWindow(first);
    EXPECT_TRUE(first->isKeyWindow());
    EXPECT_EQ(app.windows().size(), 2u);

    app.resetForTesting();
    EXPECT_TRUE(app.windows().empty());
    EXPECT_EQ(app.keyWindow(), nullptr);
}

TEST_F(ApplicationTest, StatusBarHeightFollowsTheDevice) {
    EXPECT_EQ(Application::shared().statusBarHeight(), 20);
    const testsupport::DeviceProfileScope profile("phone-x");
    ASSERT_TRUE(profile.selected());
    EXPECT_EQ(Application::shared().statusBarHeight(), 44);
}

namespace {
class HidesStatusBar : public ui::ViewController {
public:
    bool prefersStatusBarHidden() const override { return true; }
};
}  // namespace

TEST_F(ApplicationTest, AHiddenStatusBarHasNoHeight) {
    auto window = std::make_shared<Window>();
    auto hiding = std::make_shared<HidesStatusBar>();
    window->setRootViewController(ui::NavigationController::create(hiding));
    window->makeKeyAndVisible();
    EXPECT_EQ(Application::shared().statusBarHeight(), 0);

    auto& navigation = dynamic_cast<ui::NavigationController&>(*window->rootViewController());
    navigation.pushViewController(std::make_shared<ui::ViewController>(), false);
    EXPECT_EQ(Application::shared().statusBarHeight(), 20);
}

TEST_F(ApplicationTest, MainRunsTheLoopUntilTerminate) {
    std::shared_ptr<LoggingDelegate> made;
    char name[] = "vantor";
    char* argv[] = {name, nullptr};
    const int status = ui::ApplicationMain(1, argv, [&] {
        made = std::make_shared<LoggingDelegate>(log);
        made->onLaunch = [] {
            core::Queue::main()->async([] { Application::shared().terminate(); });
        };
        return made;
    });
    EXPECT_EQ(status, 0);
    ASSERT_TRUE(made);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "note ApplicationWillTerminate");
    EXPECT_EQ(log[log.size() - 2], "willTerminate/active");
}

TEST_F(ApplicationTest, BackgroundTasksExpireWhenTheBackgroundTimeRunsOut) {
    testsupport::ManualClockScope clock;
    auto& app = Application::shared();
    (void)app.launch(std::make_shared<LoggingDelegate>(log));
    std::vector<std::string> expired;
    const auto first = app.beginBackgroundTask([&] { expired.push_back("first"); });
    const auto ended = app.beginBackgroundTask([&] { expired.push_back("ended"); });
    const auto second = app.beginBackgroundTask([&] { expired.push_back("second"); });
    EXPECT_NE(first, ui::InvalidBackgroundTask);
    EXPECT_LT(first, second);
    app.endBackgroundTask(ended);
    app.endBackgroundTask(ended);
    app.endBackgroundTask(ui::InvalidBackgroundTask);
    EXPECT_EQ(app.backgroundTaskCount(), 2u);

    // In the foreground the tasks have no limit; a visit to the background
    // shorter than the allowance does not count.
    clock.advance(Application::kBackgroundTimeAllowance * 2);
    app.enterBackground();
    clock.advance(Application::kBackgroundTimeAllowance - 1);
    app.becomeActive();
    clock.advance(Application::kBackgroundTimeAllowance);
    EXPECT_TRUE(expired.empty());

    app.enterBackground();
    clock.advance(Application::kBackgroundTimeAllowance - 1);
    EXPECT_TRUE(expired.empty());
    clock.advance(1);
    EXPECT_EQ(expired, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(app.backgroundTaskCount(), 0u);
    app.endBackgroundTask(first);  // already ended by the expiry
}

TEST_F(ApplicationTest, ExpiryCanBeTriggeredAndEachHandlerRunsOnce) {
    auto& app = Application::shared();
    int runs = 0;
    ui::BackgroundTaskIdentifier identifier = ui::InvalidBackgroundTask;
    identifier = app.beginBackgroundTask([&] {
        ++runs;
        app.endBackgroundTask(identifier);  // what a well-behaved handler does
    });
    const auto later = app.beginBackgroundTask(nullptr);
    app.expireBackgroundTasks();
    app.expireBackgroundTasks();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(app.backgroundTaskCount(), 0u);
    EXPECT_GT(app.beginBackgroundTask([] {}), later) << "identifiers are not reused";
}

}  // namespace
