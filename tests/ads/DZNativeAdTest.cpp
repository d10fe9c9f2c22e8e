// The native ad base: the class tables, the bookkeeping of asset loads,
// publisher reporting behind the account switches, the debug-signal ping
// of the first impression, and the rendering statistics later requests
// send back.

#include <gtest/gtest.h>

#include "AdWebTesting.h"
#include "LogCapture.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZStatisticDictionary.h"
#include "ads/native/DZAdClass.h"
#include "ads/native/DZNativeAd.h"
#include "ads/native/DZNativeAppInstallAd.h"
#include "ads/native/DZNativeContentAd.h"
#include "ads/native/DZNativeCustomTemplateAd.h"
#include "ads/web/net/DZPinger.h"
#include "core/UserDefaults.h"
#include "fixtures/AdServer.h"

namespace {

using adwebtesting::drainMainQueue;
using adwebtesting::waitFor;
using ads::DZNativeAd;

// A native ad of a template of its own, with "icon" as its required asset.
class TestAd final : public DZNativeAd {
public:
    TestAd(const core::Dictionary& dictionary, std::string templateID = "test")
        : DZNativeAd(dictionary, {}), templateID_(std::move(templateID)) {}
    std::string adFormatTemplateID() const override { return templateID_; }
    std::set<std::string> requiredAssets() const override { return {"icon"}; }
    void adLoaderDidReceiveAd(ads::DZAdLoader&) override {}
    const ads::DZLoadableClass& loadableClass() const override {
        return ads::DZNativeContentAd::adClass();
    }

private:
    std::string templateID_;
};

// What the handlers of one ad heard: "ok" or the error's code and message.
struct Handlers {
    std::vector<std::string> heard;
    DZNativeAd::AssetCompletion next() {
        return [this](const std::optional<ads::Error>& error) {
            heard.push_back(error ? std::to_string(error->code) + " " + error->message : "ok");
        };
    }
};

TEST(DZNativeAd, ClassesComeFromTypeAndTemplateID) {
    const auto classOf = [](core::Dictionary entry) {
        const ads::DZLoadableClass* adClass = DZNativeAd::classFromSingleAdConfigurationDictionary(entry);
        return adClass ? adClass->className() : std::string("none");
    };
    EXPECT_EQ(classOf({{"type", "native"}, {"template_id", 2}}), "DZNativeAppInstallAd");
    EXPECT_EQ(classOf({{"type", "native"}, {"template_id", "2"}}), "DZNativeAppInstallAd");
    EXPECT_EQ(classOf({{"type", "native"}, {"template_id", 1}}), "DZNativeContentAd");
    EXPECT_EQ(classOf({{"type", "native"}, {"template_id", "3"}}), "DZNativeCustomTemplateAd");
    EXPECT_EQ(classOf({{"type", "native"}, {"template_id", "abc"}}), "none");
    EXPECT_EQ(classOf({{"type", "native"}}), "none");
    EXPECT_EQ(classOf({{"type", "html"}, {"template_id", 1}}), "none");
    EXPECT_EQ(classOf({{"type", "native"}, {"template_id", 4}}), "none");

    EXPECT_EQ(ads::DZNativeAdClassForAdLoaderAdType("-1"), ads::DZAdClass("ZODBannerView"));
    EXPECT_EQ(ads::DZNativeAdClassForAdLoaderAdType("4"), std::nullopt);

    EXPECT_EQ(DZNativeAd::adsArrayInAdsConfigurationDictionary({{"ads", core::Array{1}}})->size(),
              1u);
    EXPECT_EQ(DZNativeAd::adsArrayInAdsConfigurationDictionary({{"ads", "x"}}), nullptr);
}

TEST(DZNativeAd, ReadsTheEntrysSwitchesAndRequiredFields) {
    const auto ad = std::make_shared<TestAd>(core::Dictionary{
        {"tracking_urls_and_actions",
         core::Dictionary{{"impression_tracking_urls", core::Array{"https://a/i", "https://a/i"}},
                          {"dozuza_click_tracking_url", "https://a/c"}}},
        {"attribution", core::Dictionary{{"allow_pub_rendering", "1"}}},
        {"allow_pub_event_reporting", core::Dictionary{{"click_reporting", true}}}});
    EXPECT_EQ(ad->impressionTrackingURLs(), std::set<std::string>{"https://a/i"});
    EXPECT_EQ(ad->dozuzaClickTrackingURLString(), "https://a/c");
    EXPECT_TRUE(ad->publisherRenderAdChoicesAllowed());
    EXPECT_TRUE(ad->publisherClickReportingAllowed());
    EXPECT_FALSE(ad->publisherTouchReportingAllowed());
    EXPECT_EQ(ad->adNetworkClassName(), "DZMAdapterDozuzaVuRazAds");

    EXPECT_TRUE(ads::DZNativeContentAd::create({{"headline", "h"}, {"body", "b"}}, {}));
    EXPECT_FALSE(ads::DZNativeContentAd::create({{"body", "b"}}, {}));
    EXPECT_FALSE(ads::DZNativeAppInstallAd::create(
        {{"headline", "h"}, {"call_to_action", "c"}, {"app_icon", core::Dictionary{}}}, {}));
    EXPECT_TRUE(ads::DZNativeAppInstallAd::create(
        {{"headline", "h"}, {"call_to_action", "c"},
         {"app_icon", core::Dictionary{{"url", "https://a/icon.png"}}}},
        {}));
    const auto custom = ads::DZNativeCustomTemplateAd::create({{"custom_template_id", 10104}}, {});
    ASSERT_TRUE(custom);
    EXPECT_TRUE(custom->hasValidConfigurationForRequestParameters(
        {{"custom_template_ids", core::Array{"7", "10104"}}}));
    EXPECT_FALSE(custom->hasValidConfigurationForRequestParameters(
        {{"custom_template_ids", core::Array{"7"}}}));
}

TEST(DZNativeAd, WithoutAssetsHandlersRunOnALaterTurnAndLateOnesToo) {
    const auto ad = std::make_shared<TestAd>(core::Dictionary{});
    Handlers handlers;
    ad->loadAssetsWithCompletionHandler(handlers.next());
    EXPECT_TRUE(handlers.heard.empty()) << "never from within the call";
    ASSERT_TRUE(drainMainQueue());
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(handlers.heard, std::vector<std::string>{"ok"});
    EXPECT_FALSE(ad->shouldLoadAssets());

    ad->loadAssetsWithCompletionHandler(handlers.next());
    ASSERT_TRUE(waitFor([&] { return handlers.heard.size() == 2; }));
    EXPECT_EQ(handlers.heard[1], "ok");
}

TEST(DZNativeAd, ARequiredFailureFailsEveryWaitingHandlerOnce) {
    const auto ad = std::make_shared<TestAd>(core::Dictionary{});
    Handlers handlers;
    ad->loadAssetsWithCompletionHandler(handlers.next());
    EXPECT_TRUE(ad->shouldLoadAssets()) << "the first request starts the loads";
    ad->addAssetWithNameToRequestedAssets("icon");
    ad->addAssetWithNameToRequestedAssets("0x1:https://a/1.png");
    ad->addAssetWithNameToRequestedAssets("0x2:https://a/2.png");
    ad->loadAssetsWithCompletionHandler(handlers.next());
    ASSERT_TRUE(drainMainQueue());
    EXPECT_TRUE(handlers.heard.empty()) << "assets still loading";

    ad->failedToLoadAssetWithName("0x1:https://a/1.png");  // optional
    ad->finishedLoadingAssetWithName("0x2:https://a/2.png");
    ASSERT_TRUE(drainMainQueue());
    EXPECT_TRUE(handlers.heard.empty());
    ad->failedToLoadAssetWithName("icon");
    ad->failedToLoadAssetWithName("icon");
    ad->finishedLoadingAssetWithName("icon");
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(handlers.heard, (std::vector<std::string>{"11 Failed to load a required asset.",
                                                        "11 Failed to load a required asset."}));
    EXPECT_TRUE(ad->failedToLoadARequiredAsset());
}

TEST(DZNativeAd, OptionalFailuresStillComplete) {
    const auto ad = std::make_shared<TestAd>(core::Dictionary{});
    Handlers handlers;
    ad->loadAssetsWithCompletionHandler(handlers.next());
    ad->addAssetWithNameToRequestedAssets("icon");
    ad->addAssetWithNameToRequestedAssets("logo");
    ad->finishedLoadingAssetWithName("icon");
    ad->failedToLoadAssetWithName("logo");
    ASSERT_TRUE(waitFor([&] { return !handlers.heard.empty(); }));
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(handlers.heard, std::vector<std::string>{"ok"});
}

TEST(DZNativeAd, PublisherReportingNeedsTheAccountSwitches) {
    const auto off = std::make_shared<TestAd>(core::Dictionary{});
    adtesting::LogCapture console;
    off->performClickWithData(core::Dictionary{});
    off->reportTouchEventWithData(core::Dictionary{});
    EXPECT_FALSE(off->recordImpressionWithData(core::Dictionary{}));
    EXPECT_FALSE(off->hasRecordedImpression());

    const auto on = std::make_shared<TestAd>(core::Dictionary{
        {"allow_pub_event_reporting",
         core::Dictionary{{"click_reporting", "true"},
                          {"touch_reporting", 1},
                          {"impression_reporting", true}}}});
    on->performClickWithData(std::nullopt);
    on->reportTouchEventWithData(std::nullopt);
    EXPECT_FALSE(on->recordImpressionWithData(std::nullopt));
    EXPECT_TRUE(on->recordImpressionWithData(core::Dictionary{{"k", "v"}}));
    EXPECT_TRUE(on->recordImpressionWithData(core::Dictionary{{"k", "v"}}))
        << "a second impression answers the flag";
    ads::DZLogger::sharedInstance().waitForLogging();

    const std::string notEnabled = std::string("<Dozuza> ") + DZNativeAd::kNotEnabledMessage;
    // The ad's own lines: work an earlier test left on other queues may
    // still log while this one runs.
    std::vector<std::string> lines;
    for (const auto& line : console.lines())
        if (line == notEnabled || line.ends_with(" cannot be nil.")) lines.push_back(line);
    EXPECT_EQ(lines,
              (std::vector<std::string>{notEnabled, notEnabled, notEnabled,
                                        "<Dozuza> clickData cannot be nil.",
                                        "<Dozuza> touchData cannot be nil.",
                                        "<Dozuza> impressionData cannot be nil."}));
}

TEST(DZNativeAd, APublishersTouchReachesTheSignalModuleAsWholeXYAndDuration) {
    const auto ad = std::make_shared<TestAd>(core::Dictionary{
        {"allow_pub_event_reporting", core::Dictionary{{"touch_reporting", true}}}});
    const auto touches = [] {
        std::vector<std::string> found;
        for (const std::string& entry : ads::DZCallLog::entries())
            if (entry.starts_with("DZGestureReportTouch ")) found.push_back(entry);
        return found;
    };
    ads::DZCallLog::clear();
    ad->reportTouchEventWithData(
        core::Dictionary{{"x", 10.4}, {"y", 20.6}, {"duration_ms", 149.5}});
    // Each of the three is needed.
    ad->reportTouchEventWithData(core::Dictionary{{"x", 1}, {"y", 2}});
    ad->reportTouchEventWithData(core::Dictionary{{"y", 2}, {"duration_ms", 3}});
    ad->reportTouchEventWithData(core::Dictionary{{"x", 1}, {"duration_ms", 3}});
    ad->reportTouchEventWithData(core::Dictionary{{"x", -3.5}, {"y", 300}, {"duration_ms", 0}});
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(touches(), (std::vector<std::string>{"DZGestureReportTouch 10 21 150",
                                                   "DZGestureReportTouch -4 300 0"}));
    ads::DZCallLog::clear();
}

TEST(DZNativeAd, TheFirstImpressionSendsOneDebugPing) {
    fixtures::AdServer server;
    const auto defaults = core::UserDefaults::standard();
    defaults->setBool(std::string(ads::DZPinger::kEnableWebViewPingsKey), false);
    defaults->setObject(std::string(DZNativeAd::kDebugSignalURLKey),
                        server.urlString("/debug?x=1"));
    defaults->setObject(std::string(DZNativeAd::kDebugDeviceIdentifierKey), "device-7");
    const auto application = ads::DZApplication::sharedInstance();
    application->setDebugModeEnabled(true);

    const auto slot = ads::DZSlot::create();
    ASSERT_TRUE(slot);
    slot->setAdUnitID("unit/native");
    const auto ad = std::make_shared<TestAd>(core::Dictionary{{"debug_signals", "signals&more"}});
    ad->setSlot(slot);
    EXPECT_EQ(slot->adEventDelegate().get(), ad.get());
    ad->recordImpressionWithEnvironment({});
    ad->recordImpressionWithEnvironment({});
    ad->pingDebugSignal();  // the view policy's own call is not limited; the impression's is
    EXPECT_TRUE(server.waitForRequestsTo("/debug", 2, 20));
    const auto pinger = ads::DZPinger::sharedInstance();
    EXPECT_TRUE(waitFor([&] { return pinger->pingsInFlight() == 0; }));
    const auto pings = server.requestsTo("/debug");
    ASSERT_EQ(pings.size(), 2u) << "one from the two impressions, one direct";
    EXPECT_EQ(pings[0].queryValue("x"), "1");
    EXPECT_EQ(pings[0].queryValue("linkedDeviceId"), "device-7");
    EXPECT_EQ(pings[0].queryValue("adSlotPath"), "unit/native");
    EXPECT_EQ(pings[0].queryValue("debugData"), "signals&more");

    // Without debug mode nothing is sent.
    application->setDebugModeEnabled(false);
    const auto quiet = std::make_shared<TestAd>(core::Dictionary{{"debug_signals", "s"}});
    quiet->recordImpressionWithEnvironment({});
    EXPECT_TRUE(waitFor([&] { return pinger->pingsInFlight() == 0; }));
    EXPECT_EQ(server.requestsTo("/debug").size(), 2u);
    defaults->removeObjectForKey(std::string(DZNativeAd::kDebugSignalURLKey));
    defaults->removeObjectForKey(std::string(DZNativeAd::kDebugDeviceIdentifierKey));
    defaults->removeObjectForKey(std::string(ads::DZPinger::kEnableWebViewPingsKey));
}

TEST(DZNativeAd, RenderingStatisticsAreCappedPerTemplateAndFilteredByAdUnit) {
    const std::string templateID = "stats-test";
    const auto store = ads::DZApplication::sharedInstance()->nativeAdStatistics();
    store->setObject(core::Value(), templateID, false);
    {
        TestAd unnamed(core::Dictionary{}, templateID);
        unnamed.reportIsMediaContentRendered(true);
        EXPECT_TRUE(unnamed.statistics().empty()) << "no record without an ad unit";
    }
    for (int i = 0; i < 12; ++i) {
        TestAd ad(core::Dictionary{}, templateID);
        ad.setAdUnitID(i % 3 == 0 ? "unit/b" : "unit/a");
        ad.reportIsMediaContentRendered(i % 2 == 0);
        EXPECT_EQ(ad.statistics()["uses_media_view"], core::Value(i % 2 == 0 ? 1 : 0));
    }
    const core::Value kept = store->objectForKeyedSubscript(templateID);
    ASSERT_TRUE(kept.array());
    EXPECT_EQ(kept.size(), 10u) << "the two oldest went";
    const auto a = ads::DZNativeAdStatisticsForAdUnit("unit/a", templateID);
    const auto b = ads::DZNativeAdStatisticsForAdUnit("unit/b", templateID);
    ASSERT_TRUE(a && b);
    // Of i = 2..11: a at 2,4,5,7,8,10,11; b at 3,6,9.
    EXPECT_EQ(a->size(), 7u);
    EXPECT_EQ(b->size(), 3u);
    ASSERT_FALSE(b->empty());
    EXPECT_EQ((*b)[0]["template_id"], core::Value(templateID));
    EXPECT_FALSE(ads::DZNativeAdStatisticsForAdUnit("unit/c", templateID));

    core::UserDefaults::standard()->setObject(std::string(DZNativeAd::kStatisticsMaxCountKey), 2);
    {
        TestAd ad(core::Dictionary{}, templateID);
        ad.setAdUnitID("unit/b");
        ad.reportIsMediaContentRendered(false);
    }
    EXPECT_EQ(store->objectForKeyedSubscript(templateID).size(), 2u);
    core::UserDefaults::standard()->removeObjectForKey(
        std::string(DZNativeAd::kStatisticsMaxCountKey));
    store->setObject(core::Value(), templateID, false);
}

}  // namespace
