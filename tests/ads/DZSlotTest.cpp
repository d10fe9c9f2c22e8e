// The slot's load cycle without the core page: inline ads from the
// request's extras, the load policy, the reload timer on the manual clock,
// the request parameters, size negotiation, custom rendering, mediation
// and invalidation.

#include <cmath>
#include <limits>
#include <thread>

#include "AnalyticsTesting.h"
#include "SlotTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/response/DZAdResponseType.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/foundation/DZCrashReporter.h"
#include "ads/mediation/core/DZMAdManager.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/presentation/DZBannerAdViewDelegate.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/web/view/DZAdView.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/Window.h"

namespace {

using namespace slottesting;
using ads::DZSlot;

class DZSlotTest : public testing::Test {
protected:
    void TearDown() override {
        slot.reset();
        EXPECT_TRUE(adwebtesting::drainMainQueue());
    }

    // Loads the request and waits until the owner hears how it ended.
    [[nodiscard]] bool loadAndWait(const std::shared_ptr<ads::DZRequest>& request) {
        const size_t before = owner->outcomes();
        slot->loadRequest(request);
        return waitFor([&] { return owner->outcomes() > before; });
    }
    [[nodiscard]] bool makeBanner(const ads::DZAdSize& size = ads::kDZAdSizeBanner) {
        slot = bannerSlot(*owner, size);
        return slot != nullptr;
    }

    testsupport::ManualClockScope clock;
    SlotEventLog events;
    std::shared_ptr<RecordingOwner> owner = std::make_shared<RecordingOwner>();
    std::shared_ptr<DZSlot> slot;
};

TEST_F(DZSlotTest, AnInlineAdLoadsWithoutTheCorePageAndReportsEachStep) {
    ASSERT_TRUE(makeBanner());
    ASSERT_TRUE(loadAndWait(requestWithExtras({{"_ad", inlineAd()}, {"_orientation", "l"}})));
    EXPECT_EQ(owner->finished, 1);
    EXPECT_EQ(slot->state(), DZSlot::kValidAd);
    ASSERT_TRUE(slot->ad());
    EXPECT_EQ(slot->ad()->supportedOrientations(), 24u);
    EXPECT_FALSE(slot->adView()->isHidden());
    EXPECT_TRUE(slot->adView()->hasLoadedAtLeastOnce());
    EXPECT_EQ(events.names(),
              (std::vector<std::string>{"ad_context", "loading_started", "direct_loading_from_ad",
                                        "url_fetching_started", "url_fetching_succeeded",
                                        "ad_processing_started", "loading_succeeded"}));
    EXPECT_EQ(events.last("ad_context"), core::Value(core::Dictionary{{"ad_unit_id", "unit/1"}}));
    EXPECT_EQ(events.last("url_fetching_started"), core::Value(core::Dictionary{{"url", ""}}));
    EXPECT_EQ(events.last("ad_processing_started")["response_type"].uintValue(), 1u);

    // The ad view is the slot's child in the logging hierarchy, and the
    // opener acts for the slot.
    EXPECT_EQ(slot->adView()->opener()->slot(), slot);
    EXPECT_EQ(slot->adViewDelegate()->CSIForDMSGHandler(), slot->CSI());
}

TEST_F(DZSlotTest, RefusedLoadsAreReportedOrDroppedAndLeaveTheState) {
    ASSERT_TRUE(makeBanner());
    // Refused by the owner before any load: told, with no log to write to.
    owner->shouldLoad = false;
    owner->refusal = ads::DZErrorWithCode(ads::kDZErrorInvalidArgument);
    slot->loadRequest(nullptr);
    ASSERT_EQ(owner->failures.size(), 1u);
    EXPECT_EQ(owner->failures[0].code, ads::kDZErrorInvalidArgument);
    EXPECT_EQ(slot->state(), DZSlot::kIdle);
    EXPECT_TRUE(events.names().empty());
    owner->refusal.reset();
    slot->loadRequest(nullptr);
    ASSERT_EQ(owner->failures.size(), 2u);
    EXPECT_EQ(owner->failures[1].code, ads::kDZErrorInvalidRequest);

    // A load under way: a second one is dropped silently...
    owner->shouldLoad.reset();
    const auto inline_ = requestWithExtras({{"_ad", inlineAd()}});
    slot->loadRequest(inline_);
    EXPECT_EQ(slot->state(), DZSlot::kFetching);
    const auto firstFetch = slot->adFetcher();
    slot->loadRequest(inline_);
    EXPECT_EQ(slot->adFetcher(), firstFetch);
    EXPECT_EQ(owner->failures.size(), 2u);
    // ...unless the owner lets it take over: the first fetch is cancelled.
    owner->preempt = true;
    slot->loadRequest(inline_);
    EXPECT_NE(slot->adFetcher(), firstFetch);
    ASSERT_TRUE(waitFor([&] { return owner->finished == 1; }));
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(owner->outcomes(), 3u);

    // A refusal after a load goes into that load's log.
    owner->shouldLoad = false;
    slot->loadRequest(nullptr);
    EXPECT_EQ(events.names().back(), "loading_failed");
    EXPECT_EQ(events.last("loading_failed")["error_code"], core::Value(0));
    EXPECT_EQ(slot->state(), DZSlot::kValidAd);
}

TEST_F(DZSlotTest, ALoadStartedOnAnotherThreadRunsOnTheMainThread) {
    ASSERT_TRUE(makeBanner());
    std::thread([&] { slot->loadRequest(requestWithExtras({{"_ad", inlineAd()}})); }).join();
    EXPECT_EQ(slot->state(), DZSlot::kIdle);
    ASSERT_TRUE(waitFor([&] { return owner->finished == 1; }));
    EXPECT_EQ(slot->state(), DZSlot::kValidAd);
}

TEST_F(DZSlotTest, BackgroundLoadingOffRefusesLoadsWhileInactive) {
    ASSERT_TRUE(makeBanner());
    const auto application = ads::DZApplication::sharedInstance();
    application->appDidFinishLaunching();
    ui::Application::shared().enterBackground();
    slot->loadRequest(requestWithExtras({{"_ad", inlineAd()}}));
    ui::Application::shared().resetForTesting();
    ads::DZApplication::resetForTesting();
    ASSERT_EQ(owner->failures.size(), 1u);
    EXPECT_EQ(owner->failures[0].code, ads::kDZErrorInternalError);
    EXPECT_EQ(owner->failures[0].message,
              "App is in background and background loading is disabled. Ignoring request.");
    EXPECT_EQ(slot->state(), DZSlot::kIdle);
}

TEST_F(DZSlotTest, ReloadIntervalsBelowOneSecondSwitchReloadsOffAndNonNumbersAreRefused) {
    ASSERT_TRUE(makeBanner());
    EXPECT_EQ(slot->reloadInterval(), 60.0);
    slot->setReloadInterval(0.5);
    EXPECT_EQ(slot->reloadInterval(), 0.0);
    slot->setReloadInterval(1.0);
    EXPECT_EQ(slot->reloadInterval(), 1.0);
    for (const double bad : {std::nan(""), std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity()}) {
        slot->setReloadInterval(bad);
        EXPECT_EQ(slot->reloadInterval(), 1.0);
    }
    slot->setReloadInterval(-5);
    EXPECT_EQ(slot->reloadInterval(), 0.0);
}

TEST_F(DZSlotTest, TheReloadTimerArmsOnlyAfterAnAttemptWhileReloadable) {
    ASSERT_TRUE(makeBanner());
    slot->setReloadable(true);
    slot->scheduleAdReloadTimer();
    EXPECT_FALSE(slot->reloadTimerArmed());

    // A refused load still counts as an attempt.
    owner->shouldLoad = false;
    slot->loadRequest(requestWithExtras({{"_ad", inlineAd()}}));
    slot->setReloadable(false);
    slot->scheduleAdReloadTimer();
    EXPECT_FALSE(slot->reloadTimerArmed());
    slot->setReloadable(true);
    slot->setReloadInterval(0.5);
    slot->scheduleAdReloadTimer();
    EXPECT_FALSE(slot->reloadTimerArmed());
    slot->setReloadInterval(30);
    slot->scheduleAdReloadTimer();
    EXPECT_TRUE(slot->reloadTimerArmed());

    // Leaving the active state stops it; coming back arms it again.
    ui::Application& application = ui::Application::shared();
    application.becomeActive();
    application.resignActive();
    EXPECT_FALSE(slot->reloadTimerArmed());
    application.becomeActive();
    EXPECT_TRUE(slot->reloadTimerArmed());
    application.resetForTesting();

    // An owner without the reload question: the timer fires, no load, armed again.
    owner->shouldLoad.reset();
    clock.advance(30);
    EXPECT_EQ(slot->state(), DZSlot::kIdle);
    EXPECT_TRUE(slot->reloadTimerArmed());
    // An owner that says yes: the next load runs as an automatic one.
    owner->reload = true;
    clock.advance(30);
    ASSERT_TRUE(waitFor([&] { return owner->finished == 1; }));
    EXPECT_TRUE(slot->hasAutoRefreshed());
}

TEST_F(DZSlotTest, AfterInvalidateTheAdViewIsGoneAndNothingLoads) {
    ASSERT_TRUE(makeBanner());
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    const auto adView = slot->adView();
    window->addSubview(adView);
    slot->invalidate();
    EXPECT_EQ(slot->adView(), nullptr);
    EXPECT_EQ(adView->superview(), nullptr);
    EXPECT_EQ(adView->delegate(), nullptr);
    EXPECT_EQ(slot->state(), DZSlot::kInvalidated);
    slot->loadRequest(requestWithExtras({{"_ad", inlineAd()}}));
    slot->setState(DZSlot::kIdle);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(slot->state(), DZSlot::kInvalidated);
    EXPECT_EQ(owner->outcomes(), 0u);
    EXPECT_TRUE(events.names().empty());
}

TEST_F(DZSlotTest, ASlotLetGoOfOnAnotherThreadLeavesItsViewsToTheMainThread) {
    ASSERT_TRUE(makeBanner());
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    const std::weak_ptr<ads::DZAdView> adView = slot->adView();
    window->addSubview(slot->adView());
    std::thread([last = std::move(slot)]() mutable { last.reset(); }).join();
    ASSERT_FALSE(adView.expired());
    EXPECT_EQ(adView.lock()->superview(), window);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_TRUE(adView.expired());
}

TEST_F(DZSlotTest, SizeParametersFollowTheTypeAndTheOwnersSizes) {
    ASSERT_TRUE(makeBanner());
    // An interstitial: only the format.
    slot->setAdType(ads::DZAdType::interstitialAdType(), false);
    auto parameters = slot->requestParametersForRequest(nullptr);
    EXPECT_EQ(parameters["format"], core::Value("interstitial_mb"));
    EXPECT_FALSE(parameters.contains("ad_frame"));
    EXPECT_FALSE(parameters.contains("ad_bounds"));
    EXPECT_FALSE(parameters.contains("sz"));

    // A banner taking 320x50 and fluid; entries that are no ad size are skipped.
    slot->setAdType(ads::DZAdType::bannerAdTypeForSize(ads::kDZAdSizeBanner), false);
    owner->sizes = std::vector<ads::DZAdSize>{ads::kDZAdSizeBanner, ads::kDZAdSizeInvalid,
                                              ads::kDZAdSizeFluid};
    owner->ownBounds = gfx::Rect(0, 0, 300, 80);
    parameters = slot->requestParametersForRequest(nullptr);
    const gfx::Size fluid = ads::DZAdSizeResolvedCGSize(ads::kDZAdSizeFluid);
    EXPECT_EQ(parameters["sz"], core::Value("320x50|" + std::to_string(long(fluid.width)) + "x" +
                                            std::to_string(long(fluid.height))));
    EXPECT_EQ(parameters["sz_array"], core::Value(core::Array{"320x50", "fluid"}));
    EXPECT_FALSE(parameters.contains("format"));
    EXPECT_EQ(parameters["ad_bounds"]["width"], core::Value(300.0));
    EXPECT_EQ(parameters["ad_frame"]["width"], core::Value(320.0));
    EXPECT_EQ(parameters["slotname"], core::Value("unit/1"));

    // A fluid banner without sizes asks for the fluid format.
    owner->sizes.reset();
    slot->setAdType(ads::DZAdType::bannerAdTypeForSize(ads::kDZAdSizeFluid), false);
    parameters = slot->requestParametersForRequest(nullptr);
    EXPECT_EQ(parameters["format"], core::Value("320x50_mb"));
    EXPECT_EQ(parameters["fluid"], core::Value("height"));
    EXPECT_FALSE(parameters.contains("sz"));

    // A full-width, auto-height banner.
    slot->setAdType(ads::DZAdType::bannerAdTypeForSize(ads::kDZAdSizeSmartBannerPortrait), false);
    parameters = slot->requestParametersForRequest(nullptr);
    EXPECT_EQ(parameters["smart_w"], core::Value("full"));
    EXPECT_EQ(parameters["smart_h"], core::Value("auto"));
}

TEST_F(DZSlotTest, EachRequestScenarioCountsIntoItsOwnStatistics) {
    const auto statistics = ads::DZApplication::sharedInstance()->statistics();
    const std::vector<std::string> keys = {"oar", "bas_on", "bas_off", "losn", "seq_num"};
    core::Dictionary before;
    for (const auto& key : keys) before.set(key, statistics->objectForKeyedSubscript(key));
    struct Case {
        const char* scenario;
        std::int64_t oar, basOn, basOff;
        bool lastOfflineSequence;
    };
    const Case cases[] = {
        {"offline_empty", 1, 0, 0, true},
        {"offline_buffer", 1, 0, 1, true},
        {"online_buffer", 0, 1, 0, false},
        {"online_request", 0, 0, 0, false},
    };
    ASSERT_TRUE(makeBanner());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        for (const char* key : {"oar", "bas_on", "bas_off"}) statistics->setObject(0, key, false);
        statistics->setObject(-1, "losn", false);
        statistics->setObject(41, "seq_num", false);
        slot->setState(DZSlot::kRequestingAdURL);
        slot->loadAdURLWithParameters({{"request_scenario", c.scenario}});
        EXPECT_EQ(statistics->objectForKeyedSubscript("oar").intValue(), c.oar);
        EXPECT_EQ(statistics->objectForKeyedSubscript("bas_on").intValue(), c.basOn);
        EXPECT_EQ(statistics->objectForKeyedSubscript("bas_off").intValue(), c.basOff);
        EXPECT_EQ(statistics->objectForKeyedSubscript("losn").intValue(),
                  c.lastOfflineSequence ? 41 : -1);
        slot->cancelPendingActions();
    }
    // An answer the slot no longer waits for counts nothing.
    statistics->setObject(0, "oar", false);
    slot->loadAdURLWithParameters({{"request_scenario", "offline_empty"}});
    EXPECT_EQ(statistics->objectForKeyedSubscript("oar").intValue(), 0);
    for (const auto& key : keys) statistics->setObject(before[key], key, false);
}

TEST_F(DZSlotTest, ServerSwitchesShapeTheParameters) {
    ASSERT_TRUE(makeBanner());
    adwebtesting::ConstantsScope constants;
    const auto defaults = core::UserDefaults::standard();
    defaults->removeObjectForKey(DZSlot::kUseHTTPSKey);
    defaults->removeObjectForKey(DZSlot::kAnalyticsEnabledKey);
    auto parameters = slot->requestParametersForRequest(nullptr);
    EXPECT_EQ(parameters["force_https"], core::Value("1"));
    EXPECT_EQ(parameters["sai"], core::Value("0"));
    EXPECT_FALSE(parameters.contains("request_id"));
    EXPECT_FALSE(parameters.contains("hst_aeid"));

    constants.set(DZSlot::kUseHTTPSKey, false);
    constants.set(DZSlot::kExtraCapsKey, core::Array{"a"});
    slot->setRequestID("7");
    {
        // The host's analytics add their identifiers and hear of the request.
        const adstest::HostAnalyticsScope analytics;
        parameters = slot->requestParametersForRequest(nullptr);
        EXPECT_EQ(parameters["sai"], core::Value("1"));
        EXPECT_EQ(parameters["hst_aeid"], core::Value("E1"));
        EXPECT_EQ(analytics.host->events(),
                  (std::vector<adstest::LoggedEvent>{{"am", "_aq", {{"_aeid", "E1"}}}}));
    }
    EXPECT_FALSE(parameters.contains("force_https"));
    EXPECT_EQ(parameters["request_id"], core::Value("7"));
    // The server's capabilities come last, as stored.
    EXPECT_EQ(parameters.keys().back(), "extra_caps");
    EXPECT_EQ(parameters["extra_caps"], core::Value(core::Array{"a"}));
    constants.set(DZSlot::kUseHTTPSKey, true);
    EXPECT_EQ(slot->requestParametersForRequest(nullptr)["force_https"], core::Value("1"));
}

TEST_F(DZSlotTest, PrefetchAndCrashReportingSwitchesAddTheirKeysOnlyWhenSet) {
    ASSERT_TRUE(makeBanner());
    adwebtesting::ConstantsScope constants;
    core::UserDefaults::standard()->removeObjectForKey(DZSlot::kPrefetchEnabledKey);
    const auto parameters = [&] { return slot->requestParametersForRequest(nullptr); };
    EXPECT_FALSE(parameters().contains("_forcePrefetch"));
    // Only a stored text that reads as true asks for prefetching.
    for (const char* on : {"1", "true", "YES"}) {
        SCOPED_TRACE(on);
        constants.set(DZSlot::kPrefetchEnabledKey, on);
        EXPECT_EQ(parameters()["_forcePrefetch"], core::Value("1"));
    }
    for (const core::Value& off : {core::Value("0"), core::Value("false"), core::Value(""),
                                   core::Value(true), core::Value(1)}) {
        SCOPED_TRACE(core::describe(off));
        constants.set(DZSlot::kPrefetchEnabledKey, off);
        EXPECT_FALSE(parameters().contains("_forcePrefetch"));
    }

    const auto reporter = ads::DZCrashReporter::sharedInstance();
    struct Restore {
        std::shared_ptr<ads::DZCrashReporter> reporter;
        bool enabled;
        ~Restore() { reporter->setReportingEnabled(enabled); }
    } restore{reporter, reporter->reportingEnabled()};
    reporter->setReportingEnabled(true);
    EXPECT_FALSE(parameters().contains("cre"));
    reporter->setReportingEnabled(false);
    EXPECT_EQ(parameters()["cre"], core::Value("0"));
    reporter->setReportingEnabled(true);
    EXPECT_FALSE(parameters().contains("cre"));
}

TEST_F(DZSlotTest, AResponseOfAnotherAcceptedSizeResizesTheOwner) {
    ASSERT_TRUE(makeBanner());
    owner->sizes = std::vector<ads::DZAdSize>{ads::kDZAdSizeBanner, ads::kDZAdSizeMediumRectangle};
    owner->takesSizes = true;
    std::optional<bool> hiddenWhenSized;
    owner->onSetAdSize = [&] { hiddenWhenSized = slot->adView()->isHidden(); };
    // The slot's own size: nothing to change.
    core::Dictionary same = inlineAd();
    same.set("ad_size", "320x50");
    ASSERT_TRUE(loadAndWait(requestWithExtras({{"_ad", same}})));
    EXPECT_TRUE(owner->sizesSet.empty());

    core::Dictionary larger = inlineAd();
    larger.set("ad_size", "300x250");
    ASSERT_TRUE(loadAndWait(requestWithExtras({{"_ad", larger}})));
    ASSERT_EQ(owner->sizesSet.size(), 1u);
    EXPECT_TRUE(ads::DZAdSizesEqual(owner->sizesSet[0], ads::kDZAdSizeMediumRectangle));
    EXPECT_EQ(hiddenWhenSized, true);
    EXPECT_EQ(slot->newAdSize(), gfx::Size());
}

TEST_F(DZSlotTest, AFluidRequestAnsweredWithACustomSizeShowsTheAdAtThatSize) {
    ASSERT_TRUE(makeBanner(ads::kDZAdSizeFluid));
    owner->sizes = std::vector<ads::DZAdSize>{ads::kDZAdSizeFluid};
    owner->ownBounds = gfx::Rect(0, 0, 375, 10);
    ASSERT_TRUE(loadAndWait(requestWithExtras(
        {{"_ad", inlineAd()}, {"_adHeaders", core::Dictionary{{"X-Duzo-Ad-Size", "300x250"}}}})));
    EXPECT_EQ(owner->finished, 1);
    EXPECT_EQ(slot->adView()->adResponseSize(), (gfx::Size{300, 250}));
    slot->updateContentSize({320, 90});
    ASSERT_FALSE(owner->contentSizes.empty());
    EXPECT_EQ(owner->contentSizes.back(), (gfx::Size{375, 250}));
}

TEST_F(DZSlotTest, ACustomRenderedAdWaitsForAPlacementAndStopsReloads) {
    ASSERT_TRUE(makeBanner());
    slot->setReloadable(true);
    const auto customHeaders = core::Dictionary{{"X-Duzo-Custom-Rendering-Allowed", "true"}};
    slot->loadRequest(requestWithExtras({{"_ad", inlineAd()}, {"_adHeaders", customHeaders}}));
    ASSERT_TRUE(waitFor([&] { return slot->pendingCustomRenderingAd() != nullptr; }));
    EXPECT_FALSE(slot->reloadable());
    EXPECT_FALSE(slot->reloadTimerArmed());
    EXPECT_TRUE(owner->customAds.empty());

    // The owner refuses: SDK error 12, the load has failed, the ad is not kept.
    const auto placement = std::make_shared<int>(1);
    EXPECT_TRUE(slot->isMakingRequest());
    slot->setPlacement(placement);
    ASSERT_EQ(owner->customAds.size(), 1u);
    ASSERT_EQ(owner->failures.size(), 1u);
    EXPECT_EQ(owner->failures[0].code, ads::kDZErrorInvalidArgument);
    EXPECT_EQ(owner->failures[0].message, "Custom rendered ad could not be rendered by delegate.");
    EXPECT_EQ(slot->state(), DZSlot::kFailed);
    EXPECT_EQ(slot->ad(), nullptr);

    // An owner that renders it: the next load needs no pre-emption; the ad is
    // the slot's, nothing fails.
    owner->rendersCustomAds = true;
    slot->loadRequest(requestWithExtras({{"_ad", inlineAd()}, {"_adHeaders", customHeaders}}));
    ASSERT_TRUE(waitFor([&] { return owner->customAds.size() == 2; }));
    EXPECT_EQ(slot->ad(), owner->customAds[1]);
    EXPECT_EQ(owner->failures.size(), 1u);
}

TEST_F(DZSlotTest, MediationResponsesNeedADelegateAndAJSONObject) {
    ASSERT_TRUE(makeBanner());
    const core::Dictionary headers{{"X-Duzo-Mediation", "1"}, {"Content-Type", "application/json"}};
    const auto mediation = [&](const std::string& body) {
        return requestWithExtras(
            {{"_ad", core::Dictionary{{"ad_json", body}}}, {"_adHeaders", headers}});
    };
    const std::string configuration = R"({"ad_networks":[{"id":"1"}],"settings":{"refresh":45}})";

    // Without a mediation delegate.
    ASSERT_TRUE(loadAndWait(mediation(configuration)));
    ASSERT_FALSE(owner->failures.empty());
    EXPECT_EQ(owner->failures.back().code, ads::kDZErrorMediationDataError);
    EXPECT_EQ(owner->failures.back().message, "Current class not set up for processing mediation.");
    EXPECT_EQ(slot->state(), DZSlot::kFailed);

    // Bodies that are no JSON object fail without reaching the waterfall.
    owner->becomesMediationDelegate = true;
    ads::DZCallLog::clear();
    for (const char* body : {"[1, 2]", "\"text\"", "{not json"}) {
        SCOPED_TRACE(body);
        ASSERT_TRUE(loadAndWait(mediation(body)));
        ASSERT_FALSE(owner->failures.empty());
        EXPECT_EQ(owner->failures.back().code, ads::kDZErrorMediationDataError);
    }
    EXPECT_EQ(slot->mediationManager()->config(), nullptr);

    // The only network has no adapter: no fill from every network; the
    // configuration's refresh interval stands.
    ASSERT_TRUE(loadAndWait(mediation(configuration)));
    ASSERT_FALSE(owner->failures.empty());
    EXPECT_EQ(owner->failures.back().code, ads::kDZErrorMediationNoFill);
    ASSERT_TRUE(slot->mediationManager()->config());
    EXPECT_EQ(slot->mediationManager()->config()->adNetworkConfigs().size(), 1u);
    EXPECT_TRUE(slot->isMediating());
    EXPECT_EQ(slot->reloadInterval(), 45.0);
    EXPECT_EQ(slot->adNetworkClassName(), std::nullopt);
}

}  // namespace
