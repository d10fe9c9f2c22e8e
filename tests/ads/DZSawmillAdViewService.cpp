// The sawmill script in a hidden ad web view ("use_js_core" false): the
// page uploads what it is given to the local ad server by itself.

#include "ads/web/view/DZSawmillAdViewCommandExecutor.h"

#include <gtest/gtest.h>

#include <cmath>

#include "SawmillTesting.h"
#include "SlotTesting.h"
#include "ads/foundation/DZSawmillEvent.h"
#include "ads/foundation/DZSawmillTimerCommandExecutor.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "ads/presentation/banner/DZBannerViewDelegate.h"
#include "ads/web/cache/DZVersionedCache.h"
#include "ads/web/view/DZAdView.h"
#include "fixtures/AdServer.h"
#include "fixtures/ResponseGate.h"
#include "fixtures/SawmillScript.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/ViewController.h"

using namespace ads;
using adwebtesting::waitFor;
using fixtures::SawmillBatch;

namespace {

constexpr const char* kHoldPath = "/sawmill/hold.js";

core::Dictionary event(const char* name) {
    return *DZSawmillEvent(name, core::Dictionary{{"n", name}});
}

core::Array marker(const char* name) {
    return core::Array{core::Dictionary{{"id", "test"}, {"params", event(name)}}};
}

core::Value beacon() {
    return core::Dictionary{{"beacon", core::Dictionary{{"time_interval_sec", 30.0}}}};
}

// A script that keeps its page loading until the gate at kHoldPath opens.
std::string heldScript(const fixtures::AdServer& server) {
    return "document.write(\"<script src='" + server.urlString(kHoldPath) +
           "'></scr\" + \"ipt>\");\n" +
           fixtures::sawmillPageScript(server.urlString(fixtures::kSawmillUploadPath));
}

class RecordingBannerDelegate : public DZBannerViewDelegate {
public:
    int received = 0;
    int failed = 0;
    void adViewDidReceiveAd(DZBannerView&) override { ++received; }
    void didFailToReceiveAdWithError(DZBannerView&, const DZRequestError&) override { ++failed; }
};

class DZSawmillAdViewService : public ::testing::Test {
protected:
    void SetUp() override {
        DZRegisterSawmillAdViewCommandExecutor();
        DZVersionedCache::removeStoredCache(DZSawmill::kCacheID);
        fixtures::serveSawmillPageScript(server_, "/sawmill.js");
    }
    void TearDown() override {
        DZSawmill::resetSharedInstanceForTesting();
        DZVersionedCache::removeStoredCache(DZSawmill::kCacheID);
        core::UserDefaults::standard()->removeObjectForKey(DZSawmillLogger::kExperimentIDsKey);
        ui::Application::shared().resetForTesting();
        EXPECT_TRUE(adwebtesting::drainMainQueue());
    }

    void configure(const std::string& scriptPath, const std::string& version,
                   core::Dictionary extra = {}) {
        core::Dictionary settings{{"enabled", true},
                                  {"use_js_core", false},
                                  {"beacon_interval_in_sec", 30},
                                  {"script_url", server_.urlString(scriptPath)},
                                  {"base_url", server_.urlString("/")},
                                  {"version", version}};
        for (const auto& [key, value] : extra) settings.set(key, value);
        testsupport::SawmillSettingsScope::set(std::move(settings));
    }

    // The executor of a loaded page, made directly.
    [[nodiscard]] std::shared_ptr<DZSawmillAdViewCommandExecutor>
    loadedExecutor(const core::URL& baseURL) {
        auto executor = DZSawmillAdViewCommandExecutor::create(
            fixtures::sawmillPageScript(server_.urlString(fixtures::kSawmillUploadPath)), baseURL);
        EXPECT_TRUE(executor);
        if (executor) {
            EXPECT_TRUE(waitFor([&] { return executor->isLoaded(); }));
        }
        return executor;
    }

    [[nodiscard]] std::vector<SawmillBatch> waitForBatches(size_t count) const {
        EXPECT_TRUE(waitFor([&] { return fixtures::sawmillBatches(server_).size() >= count; }));
        return fixtures::sawmillBatches(server_);
    }

    testsupport::ManualClockScope clock_;
    testsupport::SawmillSettingsScope settings_;
    fixtures::AdServer server_;
};

// The "bannerview" events of the uploaded batches, in order.
std::vector<core::Value> bannerEvents(const std::vector<SawmillBatch>& batches) {
    std::vector<core::Value> found;
    for (const SawmillBatch& batch : batches)
        for (const core::Value& params : testsupport::paramsOf(batch.commands))
            if (params[std::string(DZBannerView::kEventName)].dictionary())
                found.push_back(params[std::string(DZBannerView::kEventName)]);
    return found;
}

}  // namespace

TEST_F(DZSawmillAdViewService, AnAdLoadsEventsReachTheServerFromThePageInOrder) {
    core::UserDefaults::standard()->setObject(std::string(DZSawmillLogger::kExperimentIDsKey),
                                              "exp-1");
    const auto pageGate = fixtures::ResponseGate::make();
    server_.serve(
        kHoldPath,
        fixtures::LoopbackResponse::text("", 200, "application/javascript").heldBy(pageGate));
    server_.serve("/sawmill-held.js", fixtures::LoopbackResponse::text(heldScript(server_), 200,
                                                                       "application/javascript"));
    const auto adGate = fixtures::ResponseGate::make();
    server_.serve(
        "/ad-hold.js",
        fixtures::LoopbackResponse::text("", 200, "application/javascript").heldBy(adGate));
    configure("/sawmill-held.js", "held");

    // The script arrives and its page starts loading, but is held.
    const auto sawmill = DZSawmill::sharedInstance();
    ASSERT_TRUE(waitFor(
        [&] { return sawmill->commandExecutor() && server_.requestsTo(kHoldPath).size() == 1; }));
    const auto wrapper =
        std::dynamic_pointer_cast<DZSawmillTimerCommandExecutor>(sawmill->commandExecutor());
    ASSERT_TRUE(wrapper);
    ASSERT_TRUE(std::dynamic_pointer_cast<DZSawmillAdViewCommandExecutor>(wrapper->executor()))
        << "the page runs the script, not the JavaScript engine";
    EXPECT_FALSE(sawmill->isLoaded());

    // A beacon goes off meanwhile (the clock stays: the held load would
    // time out), and an ad load starts.
    wrapper->sendBeacon();
    const auto delegate = std::make_shared<RecordingBannerDelegate>();
    const auto controller = std::make_shared<ui::ViewController>();
    const auto banner = DZBannerView::createWithAdSize(kDZAdSizeBanner);
    ASSERT_TRUE(banner);
    banner->setDelegate(delegate);
    banner->setAdUnitID("unit/1");
    banner->setRootViewController(controller);
    const core::Dictionary ad{
        {"ad_html", "<script src='" + server_.urlString("/ad-hold.js") + "'></script><p>ad</p>"},
        {"ad_base_url", server_.urlString("/ad")}};
    banner->loadRequest(slottesting::requestWithExtras({{"_ad", ad}}));
    ASSERT_TRUE(waitFor([&] { return server_.requestsTo("/ad-hold.js").size() == 1; }));
    EXPECT_FALSE(sawmill->isLoaded());
    EXPECT_TRUE(fixtures::sawmillBatches(server_).empty());

    // The page loads: the beacon that waited for it goes out first.
    pageGate->release();
    ASSERT_TRUE(waitFor([&] { return sawmill->isLoaded(); }));
    auto batches = waitForBatches(1);
    ASSERT_FALSE(batches.empty());
    EXPECT_EQ(batches[0].commands, core::Array{beacon()});

    // The ad finishes: everything the load logged follows, in order.
    adGate->release();
    ASSERT_TRUE(waitFor([&] { return delegate->received == 1; }));
    ASSERT_TRUE(
        waitFor([&] { return bannerEvents(fixtures::sawmillBatches(server_)).size() >= 3; }));
    ASSERT_TRUE(waitFor([&] { return wrapper->timer() != nullptr; }));
    clock_.advance(30);
    ASSERT_TRUE(waitFor([&] {
        const auto uploaded = fixtures::sawmillBatches(server_);
        return uploaded.size() > 1 && uploaded.back().commands == core::Array{beacon()};
    }));
    batches = fixtures::sawmillBatches(server_);

    ASSERT_GE(batches.size(), 6u);
    ASSERT_FALSE(batches[1].commands.empty());
    EXPECT_TRUE(batches[1].commands[0]["params"]["env"]["device"].dictionary());
    ASSERT_FALSE(batches[2].commands.empty());
    EXPECT_EQ(batches[2].commands[0]["params"]["experiments"], core::Value("exp-1"));
    const auto buffered = testsupport::paramsOf(batches[3].commands);
    ASSERT_FALSE(buffered.empty());
    EXPECT_TRUE(buffered[0]["sawmill"]["created"].dictionary()) << "the log's first command";
    const auto events = bannerEvents(batches);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0],
              core::Value(core::Dictionary{{"ad_unit_id", "unit/1"}, {"class", "DZBannerView"}}));
    EXPECT_TRUE(events[1]["loading_started"].dictionary());
    EXPECT_EQ(events[2], core::Value(core::Dictionary{{"loading_succeeded", 1}}));
    EXPECT_EQ(bannerEvents({batches.begin(), batches.begin() + 4}).size(), 2u)
        << "what was logged while the page loaded went out in the buffered batch";
    for (size_t i = 0; i < batches.size(); ++i)
        EXPECT_EQ(batches[i].sequence, std::int64_t(i + 1)) << "the page saw every batch once";
    std::optional<core::Value> id;
    for (size_t i = 1; i + 1 < batches.size(); ++i) {
        for (const core::Value& command : batches[i].commands) {
            if (!id) id = command["id"];
            EXPECT_EQ(command["id"], *id) << "one log for the whole load";
        }
    }
    // The page made every upload itself.
    for (const auto& request : server_.requestsTo(fixtures::kSawmillUploadPath))
        EXPECT_EQ(request.header("Content-Type").value_or("").rfind("text/plain", 0), 0u);
}

TEST_F(DZSawmillAdViewService, APageThatFailsToLoadIsNeverLoadedAndSendsNothing) {
    // Stopped while its script is held: a failure, as the server counts
    // cancelled loads.
    adwebtesting::ConstantsScope constants;
    constants.set(DZAdView::kUseCancelledURLErrorKey, "YES");
    const auto gate = fixtures::ResponseGate::make();
    server_.serve(kHoldPath,
                  fixtures::LoopbackResponse::text("", 200, "application/javascript").heldBy(gate));
    const auto executor =
        DZSawmillAdViewCommandExecutor::create(heldScript(server_), server_.url("/"));
    ASSERT_TRUE(executor);
    executor->asynchronouslyExecuteCommands(marker("early"));
    ASSERT_TRUE(waitFor([&] { return !server_.requestsTo(kHoldPath).empty(); }));
    executor->adView()->stopLoading();
    ASSERT_TRUE(waitFor([&] { return executor->hasFailedToLoad(); }));
    gate->release();
    executor->asynchronouslyExecuteCommands(marker("late"));
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_FALSE(executor->isLoaded());
    EXPECT_TRUE(server_.requestsTo(fixtures::kSawmillUploadPath).empty());
}

TEST_F(DZSawmillAdViewService, AFileBaseURLIsRefused) {
    const std::string script = fixtures::sawmillPageScript(server_.urlString("/upload"));
    EXPECT_FALSE(DZSawmillAdViewCommandExecutor::create(script, core::URL::create("file:///tmp/")));
    EXPECT_FALSE(DZSawmillAdViewCommandExecutor::create("", server_.url("/")));

    // Through the sawmill: the script is fetched, but nothing runs it.
    configure("/sawmill.js", "file", {{"base_url", "file:///tmp/"}});
    const auto sawmill = DZSawmill::sharedInstance();
    ASSERT_TRUE(waitFor(
        [&] { return server_.requestsTo("/sawmill.js").size() == 1 && !sawmill->isUpdating(); }));
    EXPECT_FALSE(sawmill->commandExecutor());
    sawmill->asynchronouslyExecuteCommands(marker("dropped"));
    EXPECT_FALSE(sawmill->isLoaded());
}

TEST_F(DZSawmillAdViewService, CommandsJSONCannotCarryAreDroppedAndTheNextArrives) {
    const auto executor = loadedExecutor(server_.url("/"));
    ASSERT_TRUE(executor);

    // Repaired where it can be: a NaN goes as its description.
    executor->asynchronouslyExecuteCommands(core::Array{
        core::Dictionary{{"id", "test"}, {"params", core::Dictionary{{"nan", std::nan("")}}}}});
    // Nesting deeper than any JSON writer goes cannot be.
    core::Value deep = core::Array{};
    for (int i = 0; i < 2000; ++i) deep = core::Array{deep};
    executor->asynchronouslyExecuteCommands(core::Array{
        core::Dictionary{{"id", "test"}, {"params", core::Dictionary{{"deep", deep}}}}});
    executor->asynchronouslyExecuteCommands(marker("next"));

    const auto batches = waitForBatches(2);
    ASSERT_EQ(batches.size(), 2u);
    ASSERT_FALSE(batches[0].commands.empty());
    EXPECT_EQ(batches[0].commands[0]["params"]["nan"], core::Value("nan"));
    EXPECT_EQ(batches[1].sequence, 2) << "the page never saw the deep command";
    EXPECT_EQ(batches[1].commands, marker("next"));
}

// A page that never finishes would hold whatever arrives meanwhile: at most
// kMaximumWaitingCalls arrays wait, the first ones, and the later ones are
// dropped. Let through at last, the page runs the held ones in order, then
// what comes after its load.
TEST_F(DZSawmillAdViewService, AtMostAHundredArraysWaitForThePage) {
    const auto gate = fixtures::ResponseGate::make();
    server_.serve(kHoldPath,
                  fixtures::LoopbackResponse::text("", 200, "application/javascript").heldBy(gate));
    const auto executor =
        DZSawmillAdViewCommandExecutor::create(heldScript(server_), server_.url("/"));
    ASSERT_TRUE(executor);
    ASSERT_TRUE(waitFor([&] { return server_.requestsTo(kHoldPath).size() == 1; }));
    const size_t held = DZSawmillAdViewCommandExecutor::kMaximumWaitingCalls;
    for (size_t i = 1; i <= held + 5; ++i)
        executor->asynchronouslyExecuteCommands(marker(("held " + std::to_string(i)).c_str()));
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_FALSE(executor->isLoaded());

    gate->release();
    ASSERT_TRUE(waitFor([&] { return executor->isLoaded(); }));
    executor->asynchronouslyExecuteCommands(marker("after"));
    std::vector<SawmillBatch> batches;
    ASSERT_TRUE(waitFor([&] {
        batches = fixtures::sawmillBatches(server_);
        // (Uploads may arrive out of order: every one before it, too.)
        return !batches.empty() && batches.back().commands == marker("after") &&
               std::int64_t(batches.size()) == batches.back().sequence;
    }));
    ASSERT_EQ(batches.size(), held + 1);
    for (size_t i = 0; i < held; ++i)
        EXPECT_EQ(batches[i].commands, marker(("held " + std::to_string(i + 1)).c_str())) << i;
}
