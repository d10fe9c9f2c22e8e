#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "DeviceSignalsTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/app/DZMobileAds.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/foundation/DZAppSession.h"
#include "ads/foundation/DZBoolCache.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/foundation/DZScheduler.h"
#include "ads/presentation/fullscreen/DZAdAppViewController.h"
#include "ads/web/net/DZPinger.h"
#include "core/Bundle.h"
#include "core/FileManager.h"
#include "core/JSON.h"
#include "core/NotificationCenter.h"
#include "core/PendingWork.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"
#include "store/URLOpener.h"
#include "support/ManualClockScope.h"
#include "support/TestEnvironment.h"
#include "ui/Application.h"
#include "ui/Window.h"

using namespace ads;

namespace {

const std::vector<std::string> kStageOneHead{
    "DZApplication.runEarlyActivities",
    "DZAdURLStash.sharedInstance",
    "DZRegisterURLProtocol",
    "DZDevice.cacheStaticParameters",
    "DZApplication.removeTemporaryDirectory",
    "DZNetwork.sharedInstance",
    "DZInAppPurchaseTransactionReporter.sharedInstance",
    "DZInAppPurchaseTransactionReporter.shouldBeEnabled",
    "DZCrashReporter.sharedInstance",
};
const std::vector<std::string> kStageOneTail{
    "DZApplication.willEnterForeground",
    "DZApplication.sendForegroundPing",
    "DZApplication.runEarlyActivities.done",
};
const std::vector<std::string> kStageTwo{
    "DZApplication.runAdditionalEarlyActivities",      "DZPinger.start",
    "DZDevice.cacheAdditionalStaticParameters",        "DZRewardBasedVideoAd.sharedInstance",
    "DZApplication.runAdditionalEarlyActivities.done",
};

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The app's Info.json with one more entry, as the main bundle for the
// scope's lifetime.
class InfoScope {
public:
    InfoScope(const char* key, core::Value value)
        : folder_(std::filesystem::path(testsupport::testHome()) / "resources-override") {
        core::Dictionary info;
        if (const auto* current = core::Bundle::main()->infoDictionary().dictionary())
            info = *current;
        info.set(key, std::move(value));
        std::filesystem::create_directories(folder_);
        (void)core::FileManager::writeAtomically((folder_ / "Info.json").string(),
                                                 *core::JSON::write(core::Value(info)));
        const char* previous = std::getenv("VANTOR_RESOURCES");
        if (previous) previous_ = previous;
        setenv("VANTOR_RESOURCES", folder_.c_str(), 1);
    }
    ~InfoScope() {
        if (previous_) {
            setenv("VANTOR_RESOURCES", previous_->c_str(), 1);
        } else {
            unsetenv("VANTOR_RESOURCES");
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

private:
    std::filesystem::path folder_;
    std::optional<std::string> previous_;
};

class LandscapeDelegate : public ui::ApplicationDelegate {
public:
    bool didFinishLaunching(ui::Application&) override { return true; }
    std::optional<unsigned long>
    supportedInterfaceOrientationsForWindow(ui::Application&, const ui::Window*) override {
        return 24;
    }
};

class ForcingController : public DZAdAppViewController {
public:
    long forcedAdOrientation() const override { return 4; }
};

class DZApplicationStartup : public testing::Test {
protected:
    void SetUp() override {
        // App-settings requests are kept here instead of reaching a core page.
        DZApplication::setScriptBuilderReceiverForTesting(
            [this](DZSDKCoreController::ScriptBuilder builder) {
                settingsRequests.push_back(std::move(builder));
            });
        settingsRequests.clear();
        ui::Application::shared().resetForTesting();
        DZApplication::resetForTesting();
        DZMobileAds::resetForTesting();
        core::UserDefaults::standard()->removeObjectForKey(
            DZApplication::kConfigurationDefaultsKey);
        DZBoolCacheSet(DZApplication::kInitDelayFlag, false);
        core::UserDefaults::standard()->removeObjectForKey(kDZLastUserEngagementKey);
        DZApplication::load();
        DZCallLog::clear();
    }
    void TearDown() override {
        waitForSaves();
        DZBoolCacheSet(DZApplication::kInitDelayFlag, false);
        ui::Application::shared().resetForTesting();
        DZApplication::resetForTesting();
        DZMobileAds::resetForTesting();
        core::UserDefaults::standard()->removeObjectForKey(
            DZApplication::kConfigurationDefaultsKey);
        DZApplication::setScriptBuilderReceiverForTesting(nullptr);
    }
    // Configuration changes are saved on other queues.
    static void waitForSaves() {
        ASSERT_TRUE(core::RunLoop::main().runUntil([] { return !core::PendingWork::any(); }, 10));
    }
    static void postLaunch() {
        core::NotificationCenter::defaultCenter().post(
            ui::Application::DidFinishLaunchingNotification, &ui::Application::shared());
    }
    static std::vector<std::string> log() { return DZCallLog::entries(); }

    std::vector<DZSDKCoreController::ScriptBuilder> settingsRequests;
};

const std::string kRefresh = "DZApplication.refreshServerSideConfiguration";

}  // namespace

TEST_F(DZApplicationStartup, StageTwoRunsInsideStageOneByDefault) {
    postLaunch();
    EXPECT_EQ(log(), joined({kStageOneHead, kStageTwo, kStageOneTail}));
    EXPECT_TRUE(DZApplication::sharedInstance()->appFinishedLaunching());

    // Neither a second launch notification nor requests start it again;
    // configuring asks for the app settings.
    DZCallLog::clear();
    postLaunch();
    auto request = DZRequest::request();
    DZMobileAds::configureWithApplicationID("dz-app-pub-0000000000000000~0000000000");
    EXPECT_EQ(log(), std::vector<std::string>{kRefresh});
}

// What the stages did, beyond what they traced: the pinger's retry passes
// run from stage two on.
TEST_F(DZApplicationStartup, StageTwoStartsThePingersRetryPasses) {
    DZPinger::resetSharedInstanceForTesting();
    const auto started = [] {
        const auto scheduler = DZPinger::sharedInstance()->scheduler();
        return scheduler && scheduler->isStarted();
    };
    {
        InfoScope info(DZApplication::kDelayEarlyActivitiesKey, true);
        postLaunch();
        ASSERT_TRUE(core::RunLoop::main().runUntil([] { return !core::PendingWork::any(); }, 10));
        EXPECT_FALSE(started()) << "stage one leaves the pinger alone";
        DZMobileAds::configureWithApplicationID("dz-app-pub-0000000000000000~0000000000");
    }
    EXPECT_TRUE(core::RunLoop::main().runUntil(started, 10));
    DZPinger::resetSharedInstanceForTesting();
}

TEST_F(DZApplicationStartup, TheDelayFlagPostponesStageTwoUntilConfiguration) {
    for (const core::Value& delay : {core::Value(true), core::Value("YES"), core::Value(1)}) {
        InfoScope info(DZApplication::kDelayEarlyActivitiesKey, delay);
        postLaunch();
        EXPECT_EQ(log(), joined({kStageOneHead, kStageOneTail}));
        DZCallLog::clear();
        DZMobileAds::configureWithApplicationID("dz-app-pub-0000000000000000~0000000000");
        EXPECT_EQ(log(), joined({kStageTwo, {kRefresh}}));
        TearDown();
        SetUp();
    }
}

TEST_F(DZApplicationStartup, TheInitDelayFlagCountsOnlyWithoutADelayKey) {
    DZBoolCacheSet(DZApplication::kInitDelayFlag, true);
    {
        InfoScope info(DZApplication::kDelayEarlyActivitiesKey, "NO");
        postLaunch();
        EXPECT_EQ(log(), joined({kStageOneHead, kStageTwo, kStageOneTail}));
    }
    // Without the key (the app's own Info.json has none) the cached flag
    // decides; an entry of another kind counts as no key.
    for (const bool otherKind : {false, true}) {
        TearDown();
        SetUp();
        DZBoolCacheSet(DZApplication::kInitDelayFlag, true);
        std::optional<InfoScope> info;
        if (otherKind) info.emplace(DZApplication::kDelayEarlyActivitiesKey, core::Array{});
        ASSERT_TRUE(core::Bundle::main()
                        ->objectForInfoDictionaryKey(DZApplication::kDelayEarlyActivitiesKey)
                        .isNull() != otherKind);
        postLaunch();
        EXPECT_EQ(log(), joined({kStageOneHead, kStageOneTail}));
        DZCallLog::clear();
        DZApplication::sharedInstance()->runAdditionalEarlyActivities();
        EXPECT_EQ(log(), kStageTwo);
    }
}

TEST_F(DZApplicationStartup, ConfigurationInsideLaunchRunsStageTwoFirst) {
    DZMobileAds::configureWithApplicationID("dz-app-pub-0000000000000000~0000000000");
    EXPECT_EQ(log(), joined({kStageTwo, {kRefresh}}));
    DZCallLog::clear();
    postLaunch();
    EXPECT_EQ(log(), joined({kStageOneHead, kStageOneTail}));

    // A stage two that finds the stored identifier refreshes the
    // configuration, without the publisher's mark.
    waitForSaves();
    DZApplication::resetForTesting();
    settingsRequests.clear();
    DZCallLog::clear();
    DZApplication::sharedInstance()->runAdditionalEarlyActivities();
    auto expected = kStageTwo;
    expected.insert(expected.end() - 1, kRefresh);
    EXPECT_EQ(log(), expected);
    ASSERT_EQ(settingsRequests.size(), 1u);
    const auto script = settingsRequests.front()("1");
    ASSERT_TRUE(script);
    EXPECT_NE(script->find(R"("app_id":"dz-app-pub-0000000000000000~0000000000")"),
              std::string::npos);
    EXPECT_EQ(script->find("is_init"), std::string::npos);
}

TEST_F(DZApplicationStartup, AStageTwoAskedForOffTheMainThreadRunsThere) {
    std::thread([] { DZApplication::sharedInstance()->runAdditionalEarlyActivities(); }).join();
    EXPECT_TRUE(log().empty());
    ASSERT_TRUE(core::RunLoop::main().runUntil(
        [] { return DZApplication::sharedInstance()->hasRunAdditionalEarlyActivities(); }, 10));
    EXPECT_EQ(log(), kStageTwo);
}

TEST_F(DZApplicationStartup, ANewSessionResetsTheSessionCounters) {
    auto defaults = core::UserDefaults::standard();
    defaults->setDouble(std::string(kDZLastUserEngagementKey), 1e12);
    defaults->setObject("/dozuza/ads/preqs_in_session", 7);
    DZApplication::resetForTesting();
    const auto application = DZApplication::sharedInstance();
    EXPECT_EQ(application->statistics()->objectForKeyedSubscript("preqs_in_session"),
              core::Value(7));
    EXPECT_EQ(application->statistics()->objectForKeyedSubscript("preqs"), core::Value(-1));
    postLaunch();
    const auto entries = log();
    const auto foreground =
        std::find(entries.begin(), entries.end(), "DZApplication.willEnterForeground");
    ASSERT_NE(foreground, entries.end());
    EXPECT_EQ(std::vector<std::string>(foreground + 1, foreground + 3),
              (std::vector<std::string>{"DZApplication.resetPreqsInSession",
                                        "DZApplication.resetTimeInSession"}));
    // The resets run on the statistics queue, and reach the user defaults after that.
    const auto reset = [&] {
        return application->statistics()->objectForKeyedSubscript("time_in_session") ==
                   core::Value(0) &&
               defaults->objectForKey("/dozuza/ads/time_in_session") == core::Value(0.0) &&
               defaults->objectForKey("/dozuza/ads/preqs_in_session").isNull();
    };
    EXPECT_TRUE(core::RunLoop::main().runUntil(reset, 10));
    EXPECT_EQ(application->statistics()->objectForKeyedSubscript("preqs_in_session"),
              core::Value(-1));
    EXPECT_TRUE(defaults->objectForKey("/dozuza/ads/preqs_in_session").isNull());
    EXPECT_EQ(defaults->objectForKey("/dozuza/ads/time_in_session"), core::Value(0.0));
}

TEST_F(DZApplicationStartup, ActiveInTheBackgroundOnlyBeforeLaunch) {
    ui::Application& platform = ui::Application::shared();
    const auto application = DZApplication::sharedInstance();
    EXPECT_TRUE(application->active());
    platform.enterBackground();
    EXPECT_TRUE(application->active());
    postLaunch();
    EXPECT_FALSE(application->active());
    platform.becomeActive();
    EXPECT_TRUE(application->active());
}

TEST_F(DZApplicationStartup, LifecycleNotificationsReachTheHandlers) {
    testsupport::ManualClockScope clock;
    ui::Application& platform = ui::Application::shared();
    (void)DZApplication::sharedInstance();
    platform.becomeActive();
    platform.enterBackground();
    clock.advance(1);
    platform.becomeActive();
    EXPECT_EQ(log(), (std::vector<std::string>{
                         "DZApplication.didBecomeActive", "DZApplication.willResignActive",
                         "DZApplication.willEnterForeground", "DZApplication.sendForegroundPing",
                         "DZApplication.didBecomeActive"}));
}

TEST_F(DZApplicationStartup, OrientationsComeFromTheDelegateThroughTheMainThread) {
    const auto application = DZApplication::sharedInstance();
    auto delegate = std::make_shared<LandscapeDelegate>();
    ASSERT_TRUE(ui::Application::shared().launch(delegate));

    // Off the main thread the answer uses the mask stored before: all four.
    bool early = false;
    std::thread([&] { early = application->supportsOrientations(2); }).join();
    EXPECT_TRUE(early);
    core::RunLoop::main().runOnce();
    EXPECT_FALSE(application->supportsOrientations(2));
    EXPECT_TRUE(application->supportsOrientations(8));
}

TEST_F(DZApplicationStartup, LiveViewIdentifiersCount) {
    const auto application = DZApplication::sharedInstance();
    EXPECT_EQ(application->nextLiveViewID(), 1u);
    EXPECT_EQ(application->nextLiveViewID(), 2u);
    EXPECT_EQ(application->nextLiveViewID(), 3u);
}

TEST_F(DZApplicationStartup, WindowsAndTheControllerOnTop) {
    const auto application = DZApplication::sharedInstance();
    EXPECT_FALSE(application->mainWindow());
    EXPECT_FALSE(application->topViewController());

    const auto placeholder = DZApplication::placeholderWindow();
    EXPECT_EQ(DZApplication::placeholderWindow(), placeholder);
    EXPECT_FALSE(placeholder->isKeyWindow());

    auto window = std::make_shared<ui::Window>();
    auto root = std::make_shared<ui::ViewController>();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    EXPECT_EQ(application->mainWindow(), window);
    EXPECT_EQ(application->topViewController(), root);
    EXPECT_EQ(application->topViewControllerOrientation(), 1);

    auto ad = std::make_shared<ForcingController>();
    root->presentViewController(ad, false, nullptr);
    EXPECT_EQ(application->topViewController(), ad);
    EXPECT_EQ(application->topViewControllerOrientation(), 4);
    EXPECT_NE(placeholder, window);
}

TEST_F(DZApplicationStartup, StrictLinksOpenNothingAndOldSystemsOpenLater) {
    const auto application = DZApplication::sharedInstance();
    store::URLOpener& opener = store::URLOpener::shared();
    opener.clearForTesting();
    const core::URL page = *core::URL::create("https://shop.example/item");
    std::vector<bool> results;
    auto record = [&](bool opened) { results.push_back(opened); };

    application->openURL(page, true, record);
    application->openURL(page, false, record);
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return results.size() == 2; }, 10));
    EXPECT_EQ(results, (std::vector<bool>{false, true}));
    EXPECT_EQ(opener.openedURLs(), std::vector<core::URL>{page});
    EXPECT_EQ(opener.refusedURLs(), std::vector<core::URL>{page});

    ui::DeviceProfile old = ui::DeviceProfile::current();
    old.systemVersion = "9.3";
    testsupport::DeviceProfileOverride profile(old);
    opener.clearForTesting();
    results.clear();
    application->openURL(page, true, record);
    application->openURL(page, false, record);
    EXPECT_TRUE(results.empty());
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return results.size() == 2; }, 10));
    EXPECT_EQ(results, (std::vector<bool>{false, true}));
    EXPECT_EQ(opener.openedURLs(), std::vector<core::URL>{page});
    EXPECT_TRUE(opener.refusedURLs().empty());
    opener.clearForTesting();
}

TEST(DZApplication, ITunesMetadataIsADictionaryOrNothing) {
    const auto path = DZApplication::iTunesMetadataPath();
    ASSERT_TRUE(path);
    const std::string documents = core::FileManager::folderPath(core::Folder::Documents);
    EXPECT_EQ(std::filesystem::path(*path),
              std::filesystem::path(documents).parent_path() / "iTunesMetadata.plist");

    const std::string file = testsupport::testHome() + "/metadata-probe.plist";
    const struct {
        std::optional<std::string> content;
        core::Dictionary expected;
    } table[] = {
        {std::nullopt, {}},
        {"{\"itemId\": 42}", {{"itemId", 42}}},
        {"[1, 2]", {}},
        {"{not json", {}},
    };
    for (const auto& row : table) {
        std::filesystem::remove(file);
        if (row.content) {
            ASSERT_TRUE(core::FileManager::writeAtomically(file, *row.content));
        }
        EXPECT_EQ(DZApplication::iTunesMetadataAt(file), row.expected);
    }
    std::filesystem::remove(file);
}

TEST(DZApplication, IdentifiersOfTheProcess) {
    const auto application = DZApplication::sharedInstance();
    const std::string& session = application->sessionIdentifier();
    EXPECT_FALSE(session.empty());
    EXPECT_TRUE(std::all_of(session.begin(), session.end(), [](char c) {
        return c >= '0' && c <= '9';
    })) << session;
    EXPECT_EQ(application->statistics()->objectForKeyedSubscript("session_id"),
              core::Value(session));
    EXPECT_EQ(application->UUIDString().size(), 36u);
    EXPECT_EQ(application->version(), "1");
    EXPECT_EQ(application->mainBundleIdentifier(), "app.vantor.gallery");
}
