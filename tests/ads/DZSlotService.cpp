// The slot's load cycle against the local ad server and our core page over
// HTTPS: a banner from request to a shown ad, each failure with its code,
// the reload timer on the manual clock, secret ad URLs, and the reload
// interval a failed fetch leaves.

#include "SDKCoreTesting.h"
#include "SlotTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZStatisticDictionary.h"
#include "ads/web/intercept/DZMRAIDInterceptor.h"
#include "ads/web/view/DZAdView.h"
#include "fixtures/LoopbackResponse.h"
#include "fixtures/LoopbackServer.h"

namespace {

using namespace slottesting;
using ads::DZSlot;
using AdAnswer = fixtures::CorePageOptions::AdAnswer;

// The load steps every ad from the core page logs, in this order.
const std::vector<std::string> kCorePageSteps = {
    "loading_started",      "url_build_request_started", "url_build_request_completed",
    "url_fetching_started", "url_fetching_succeeded",    "ad_processing_started",
    "loading_succeeded"};

std::vector<std::string> only(const std::vector<std::string>& names,
                              const std::vector<std::string>& wanted) {
    std::vector<std::string> kept;
    for (const auto& name : names)
        if (std::find(wanted.begin(), wanted.end(), name) != wanted.end()) kept.push_back(name);
    return kept;
}

class DZSlotService : public sdkcoretesting::SDKCoreTest {
protected:
    void SetUp() override {
        SDKCoreTest::SetUp();
        // A slot refreshes stale app settings through the shared core page;
        // here the request is kept so each test's page is the only one.
        ads::DZApplication::setScriptBuilderReceiverForTesting(
            [this](ads::DZSDKCoreController::ScriptBuilder builder) {
                settingsRequests.push_back(std::move(builder));
            });
    }
    void TearDown() override {
        ads::DZApplication::setScriptBuilderReceiverForTesting(nullptr);
        slot.reset();
        SDKCoreTest::TearDown();
        // The constants the page delivered stay out of later tests.
        for (const auto& name : fixtures::CorePage::defaultConstants("").keys())
            core::UserDefaults::standard()->removeObjectForKey(
                std::string(ads::DZSDKCoreController::kConstantPrefix) + name);
    }
    // A banner slot of 320x50 on a controller of its own.
    [[nodiscard]] bool makeSlot() {
        owner->sizes = std::vector<ads::DZAdSize>{ads::kDZAdSizeBanner};
        slot = bannerSlot(*owner);
        if (!slot) return false;
        slot->setSDKCoreController(makeController());
        return true;
    }
    [[nodiscard]] bool loadAndWait(std::shared_ptr<ads::DZRequest> request = nullptr) {
        const size_t before = owner->outcomes();
        slot->loadRequest(request ? request : std::make_shared<ads::DZRequest>());
        return waitFor([&] { return owner->outcomes() > before; });
    }
    void serve(AdAnswer answer, int status = 200, core::Dictionary extras = {}) {
        fixtures::CorePageOptions options;
        options.adAnswer = answer;
        options.status = status;
        options.adURLExtras = std::move(extras);
        server.setCorePage(options);
    }
    // The ad server's answer at path: status, body and refresh rate.
    void serveAd(const std::string& path, int status, const std::string& body,
                 const std::string& refreshRate) {
        auto response = fixtures::LoopbackResponse::text(body, status, "text/html");
        if (status == 204) response = fixtures::LoopbackResponse::empty(204);
        response.headers.set("X-Duzo-Refresh-Rate", refreshRate);
        server.serve(path, std::move(response));
    }

    SlotEventLog events;
    std::vector<ads::DZSDKCoreController::ScriptBuilder> settingsRequests;
    std::shared_ptr<RecordingOwner> owner = std::make_shared<RecordingOwner>();
    std::shared_ptr<DZSlot> slot;
};

TEST_F(DZSlotService, ABannerLoadsFromTheAdServerAndReloadsOnItsTimer) {
    serve(AdAnswer::url);
    ASSERT_TRUE(makeSlot());
    slot->setReloadable(true);
    ASSERT_TRUE(loadAndWait());
    EXPECT_EQ(slot->state(), DZSlot::kValidAd);
    EXPECT_TRUE(slot->adView()->hasLoadedAtLeastOnce());
    EXPECT_FALSE(slot->adView()->isHidden());
    EXPECT_EQ(only(events.names(), kCorePageSteps), kCorePageSteps);
    EXPECT_EQ(events.names().front(), "ad_context");

    EXPECT_EQ(server.requestsTo(fixtures::CorePage::kPath).size(), 1u);
    const auto fetches = server.requestsTo(fixtures::AdServer::kAdPath);
    ASSERT_EQ(fetches.size(), 1u);
    EXPECT_EQ(fetches[0].queryValue("slotname"), "unit/1");
    EXPECT_EQ(fetches[0].queryValue("request_id"), slot->requestID());
    // The page got the slot's parameters.
    const auto asked = logged("DUZO_getAd");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0]["sz"], core::Value("320x50"));
    EXPECT_EQ(asked[0]["request_id"], core::Value(*slot->requestID()));

    // The server's "X-Duzo-Refresh-Rate: 30" armed the timer; when it fires
    // the owner lets the slot load again.
    EXPECT_EQ(slot->reloadInterval(), 30.0);
    EXPECT_TRUE(slot->reloadTimerArmed());
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(owner->outcomes(), 1u);
    owner->reload = true;
    clock.advance(30);
    ASSERT_TRUE(waitFor([&] { return owner->finished == 2; }));
    EXPECT_EQ(server.requestsTo(fixtures::AdServer::kAdPath).size(), 2u);
    EXPECT_TRUE(slot->hasAutoRefreshed());
}

TEST_F(DZSlotService, EveryFailureReachesTheOwnerWithItsCodeAndState) {
    struct Case {
        const char* name;
        AdAnswer answer;
        int pageStatus;
        core::Dictionary extras;
        fixtures::AdVariant variant;
        std::int64_t state;
        long code;
        size_t fetches;
    };
    const Case cases[] = {
        {"page 404",
         AdAnswer::url,
         404,
         {},
         fixtures::AdVariant::html,
         DZSlot::kSDKCoreFailed,
         ads::kDZErrorNetworkError,
         0},
        {"invalid",
         AdAnswer::invalid,
         200,
         {},
         fixtures::AdVariant::html,
         DZSlot::kFailed,
         ads::kDZErrorInvalidRequest,
         0},
        {"errors",
         AdAnswer::url,
         200,
         {{"errors", "bad"}},
         fixtures::AdVariant::html,
         DZSlot::kFailed,
         ads::kDZErrorInvalidRequest,
         0},
        {"204",
         AdAnswer::url,
         200,
         {},
         fixtures::AdVariant::noFill,
         DZSlot::kFailed,
         ads::kDZErrorNoFill,
         1},
        {"503",
         AdAnswer::url,
         200,
         {},
         fixtures::AdVariant::unavailable,
         DZSlot::kFailed,
         ads::kDZErrorServerError,
         1},
        {"unanswered",
         AdAnswer::silent,
         200,
         {},
         fixtures::AdVariant::html,
         DZSlot::kFailed,
         ads::kDZErrorTimeout,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        serve(c.answer, c.pageStatus, c.extras);
        server.setAdVariant(c.variant);
        server.clearLog();
        owner = std::make_shared<RecordingOwner>();
        ASSERT_TRUE(makeSlot());
        if (c.answer == AdAnswer::silent) {
            slot->loadRequest(std::make_shared<ads::DZRequest>());
            ASSERT_EQ(logged("DUZO_getAd").size(), 1u);
            clock.advance(10.5);
            ASSERT_TRUE(waitFor([&] { return owner->outcomes() == 1; }));
        } else {
            ASSERT_TRUE(loadAndWait());
        }
        ASSERT_EQ(owner->failures.size(), 1u);
        EXPECT_EQ(owner->failures[0].code, c.code);
        EXPECT_EQ(slot->state(), c.state);
        EXPECT_EQ(server.requestsTo(fixtures::AdServer::kAdPath).size(), c.fetches);
        ASSERT_FALSE(events.names().empty());
        EXPECT_EQ(events.names().back(), "loading_failed");
        slot.reset();
        clearDefaults();
    }
}

TEST_F(DZSlotService, StatisticsAFailedLoadTookGoBackToTheApplication) {
    const auto app = ads::DZApplication::sharedInstance();
    (void)app->pendingAdStatistics();
    const auto statistics = ads::DZStatisticDictionary::create();
    statistics->setObject(3, "pcc", false);
    app->didUpdateStatisticDictionary(statistics);
    serve(AdAnswer::url);
    server.setAdVariant(fixtures::AdVariant::noFill);
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(loadAndWait());
    ASSERT_EQ(owner->failures.size(), 1u);
    // They went out with the request...
    const auto asked = logged("DUZO_getAd");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0]["quality_signals"]["ads"], core::Value(core::Array{statistics->dictionary()}));
    // ...which found no ad: the next request of any slot sends them again.
    EXPECT_TRUE(slot->pendingAdStatistics().empty());
    EXPECT_EQ(app->pendingAdStatistics(), std::set{statistics});
}

TEST_F(DZSlotService, AnAnswerForACancelledLoadStartsNoFetch) {
    serve(AdAnswer::silent);
    ASSERT_TRUE(makeSlot());
    slot->loadRequest(std::make_shared<ads::DZRequest>());
    ASSERT_EQ(logged("DUZO_getAd").size(), 1u);
    ASSERT_TRUE(slot->requestID());
    slot->cancelPendingActions();
    EXPECT_EQ(slot->state(), DZSlot::kIdle);
    // The page answers after all; the slot no longer waits for it.
    sendFromPage("loadAdURL", {{"request_id", *slot->requestID()},
                               {"url", server.urlString(fixtures::AdServer::kAdPath)}});
    sendFromPage("saveState", {{"key", "marker"}, {"state", "1"}});
    ASSERT_TRUE(waitFor([&] {
        return core::UserDefaults::standard()
            ->dictionaryForKey(ads::DZSDKCoreDMSGHandler::kSavedStateKey)
            .has_value();
    }));
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(slot->state(), DZSlot::kIdle);
    EXPECT_EQ(owner->outcomes(), 0u);
    EXPECT_TRUE(server.requestsTo(fixtures::AdServer::kAdPath).empty());
}

TEST_F(DZSlotService, HTMLOfBlanksIsNoFill) {
    serve(AdAnswer::url);
    serveAd(fixtures::AdServer::kAdPath, 200, " \n\t \r\n", "30");
    ASSERT_TRUE(makeSlot());
    ASSERT_TRUE(loadAndWait());
    ASSERT_EQ(owner->failures.size(), 1u);
    EXPECT_EQ(owner->failures[0].code, ads::kDZErrorNoFill);
    EXPECT_EQ(slot->state(), DZSlot::kFailed);
}

TEST_F(DZSlotService, ASecretAdURLIsFetchedWithoutTheCorePage) {
    const auto interceptor = ads::DZMRAIDInterceptor::sharedInstance();
    const bool wasEnabled = interceptor->enabled();
    interceptor->setEnabled(false);
    ASSERT_TRUE(makeSlot());
    const std::string url = server.urlString("/mads/ad?secret=1");
    ASSERT_TRUE(loadAndWait(requestWithExtras({{"_requestUrl", url}})));
    EXPECT_TRUE(interceptor->enabled());
    interceptor->setEnabled(wasEnabled);
    EXPECT_EQ(owner->finished, 1);
    EXPECT_TRUE(server.requestsTo(fixtures::CorePage::kPath).empty());
    const auto fetches = server.requestsTo(fixtures::AdServer::kAdPath);
    ASSERT_EQ(fetches.size(), 1u);
    EXPECT_EQ(fetches[0].queryValue("secret"), "1");
    EXPECT_EQ(events.last("direct_loading_from_url"), core::Value(core::Dictionary{{"url", url}}));
}

TEST_F(DZSlotService, AFailedFetchLeavesTheIntervalItAsksForUnderTheSameRule) {
    ASSERT_TRUE(makeSlot());
    const auto from = [&](const std::string& path) {
        return requestWithExtras({{"_requestUrl", server.urlString(path)}});
    };
    // A server asking for a hundredth of a second switches reloads off.
    serveAd("/fast", 204, "", "0.01");
    ASSERT_TRUE(loadAndWait(from("/fast")));
    ASSERT_FALSE(owner->failures.empty());
    EXPECT_EQ(owner->failures.back().code, ads::kDZErrorNoFill);
    EXPECT_EQ(slot->reloadInterval(), 0.0);

    serveAd("/slow", 503, "unavailable", "45");
    ASSERT_TRUE(loadAndWait(from("/slow")));
    ASSERT_FALSE(owner->failures.empty());
    EXPECT_EQ(owner->failures.back().code, ads::kDZErrorServerError);
    EXPECT_EQ(slot->reloadInterval(), 45.0);

    // No response at all (code 13) keeps the interval.
    std::string gone;
    {
        const fixtures::LoopbackServer closed;
        gone = closed.baseURL() + "/gone";
    }
    ASSERT_TRUE(loadAndWait(requestWithExtras({{"_requestUrl", gone}})));
    ASSERT_FALSE(owner->failures.empty());
    EXPECT_EQ(owner->failures.back().code, ads::kDZErrorReceivedInvalidResponse);
    EXPECT_EQ(slot->reloadInterval(), 45.0);
}

}  // namespace
