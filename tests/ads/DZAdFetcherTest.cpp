#include "ads/core/response/DZAdFetcher.h"

#include <gtest/gtest.h>

#include "AdFetcherTesting.h"
#include "ads/core/response/DZAd.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/foundation/DZLocationService.h"
#include "ads/foundation/DZSafeBrowsingReporter.h"
#include "ads/foundation/DZTiming.h"
#include "core/UserDefaults.h"

using namespace ads;
using adfetchertesting::FetchRecorder;

namespace {

constexpr const char* kContentURLEnabledKey = "/dozuza/ads/content_url_enabled";
constexpr const char* kUseHTTPSKey = "/dozuza/ads/use_https";

std::shared_ptr<DZAd> coreAd(std::string html) {
    auto ad = std::make_shared<DZAd>();
    ad->setAdHTML(std::move(html));
    ad->setAdBaseURL(core::URL::create("http://127.0.0.1:9/base/"));
    return ad;
}

class DZAdFetcherTest : public testing::Test {
protected:
    void SetUp() override { clearDefaults(); }
    void TearDown() override { clearDefaults(); }
    static void clearDefaults() {
        for (const char* key : {kContentURLEnabledKey, kUseHTTPSKey})
            core::UserDefaults::standard()->removeObjectForKey(key);
    }
    // A fetcher whose ad came with its markup, so headers can be applied.
    void startWithoutRequest(const std::optional<core::Dictionary>& headers = std::nullopt) {
        ASSERT_TRUE(
            fetcher->fetchRemainingContentForAd(coreAd("<p>ad</p>"), headers, recorder, nullptr));
    }
    const std::shared_ptr<DZAdFetcher> fetcher = std::make_shared<DZAdFetcher>();
    const std::shared_ptr<FetchRecorder> recorder = std::make_shared<FetchRecorder>();
};

}  // namespace

TEST_F(DZAdFetcherTest, AnAdFromTheCorePageCompletesOnTheNextTurnWithItsHeaders) {
    startWithoutRequest(core::Dictionary{{"X-Duzo-Ad-Format", "NATIVE"}});
    EXPECT_EQ(recorder->calls, 0) << "never inside the fetch call";
    ASSERT_TRUE(recorder->waitForOutcome());
    EXPECT_TRUE(recorder->fetched);
    EXPECT_EQ(recorder->ad->responseType(), DZAdResponseTypeNative);
    EXPECT_FALSE(recorder->ad->originalRequest());
    EXPECT_EQ(fetcher->timer()->category().rfind("DZAdFetcher (0x", 0), 0u);
    EXPECT_GT(fetcher->timer()->endTimestamp(), 0u);

    Error error;
    EXPECT_FALSE(
        fetcher->fetchRequestURL(std::nullopt, recorder, std::nullopt, coreAd("x"), &error));
    EXPECT_EQ(error.code, kDZErrorNetworkError);
    EXPECT_EQ(error.message, "Could not start fetch. This object has already been used to fetch.");
    core::RunLoop::main().runOnce();
    EXPECT_EQ(recorder->calls, 1);
}

TEST_F(DZAdFetcherTest, MarkuplessOrInvalidAdsFailWithTheirCodes) {
    // No markup and no URL: no fill.
    ASSERT_TRUE(fetcher->fetchRemainingContentForAd(std::make_shared<DZAd>(), std::nullopt,
                                                    recorder, nullptr));
    ASSERT_TRUE(recorder->waitForOutcome());
    EXPECT_EQ(recorder->error->code, kDZErrorNoFill);
    EXPECT_EQ(recorder->responseCode, 0);

    // Mediation announced over a body that is not JSON: code 3 at once, and
    // the fetch is over.
    const auto other = std::make_shared<DZAdFetcher>();
    const auto told = std::make_shared<FetchRecorder>();
    ASSERT_TRUE(other->fetchRemainingContentForAd(
        coreAd("<p>ad</p>"),
        core::Dictionary{{"X-Duzo-Mediation", "1"}, {"Content-Type", "text/html"}}, told, nullptr));
    EXPECT_EQ(told->calls, 1);
    EXPECT_EQ(told->error->code, kDZErrorServerError);
    EXPECT_EQ(told->responseCode, 0);
    core::RunLoop::main().runOnce();
    EXPECT_EQ(told->calls, 1) << "no completion after the failure";
}

TEST_F(DZAdFetcherTest, SettingsHeadersApplyInAnyCaseAndLaterOnesOverride) {
    DZCallLog::clear();
    startWithoutRequest();
    const DZAd& ad = *fetcher->ad();
    fetcher->processHTTPHeaders(core::Dictionary{});
    const core::Value unset = core::UserDefaults::standard()->objectForKey(kUseHTTPSKey);
    EXPECT_TRUE(unset.isBool() && !unset.boolValue()) << "NO is written while nothing is stored";
    fetcher->processHTTPHeaders(core::Dictionary{
        {"X-Duzo-Click-Tracking-Urls", "http://a/c1  http://a/c2"},
        {"X-DUZO-Tracking-Urls", "http://a/i"},
        {"x-duzo-manual-tracking-urls", "http://a/m"},
        {"X-Duzo-Content-Url-Opted-Out", "false"},
        {"X-Duzo-Liveview", R"({"interval":2})"},
        {"X-Duzo-Use-Displayed-Impression", "true"},
        {"X-Duzo-Orientation", "landscape"},
        {"X-Duzo-Refresh-Rate", "45.5"},
        {"X-Duzo-Debug-Dialog", "dialog"},
        {"X-Duzo-Ad-Size", "300x250"},
        {"X-Duzo-Disable-Activation-And-Scroll", "1"},
        {"X-Duzo-Use-Https", "YES"},
        {"X-Duzo-Custom-Close-Blocked", "true"},
        {"X-Duzo-Fluid", "HEIGHT"},
        {"X-Duzo-Dws-Query-Id", "q-1"},
        {"X-Duzo-Auto-Collect-Location", "1"},
        {"X-Duzo-Safe-Browsing", R"({"click_string":"c","report_url":"http://a/r"})"},
        {"X-Duzo-Debug-Signals", "signals"},
    });
    EXPECT_EQ(ad.clickURLs().size(), 2u);
    EXPECT_EQ(ad.impressionURLs(), std::vector<core::URL>{*core::URL::create("http://a/i")});
    EXPECT_EQ(ad.manualImpressionURLs().size(), 1u);
    EXPECT_TRUE(core::UserDefaults::standard()->boolForKey(kContentURLEnabledKey));
    ASSERT_FALSE(DZCallLog::entries().empty());
    EXPECT_EQ(DZCallLog::entries().back(), "DZApplication.startContentHashing");
    EXPECT_EQ(ad.liveViewConfigurations(), (core::Dictionary{{"interval", 2}}));
    EXPECT_EQ(ad.impressionDefinition(), 1);
    EXPECT_EQ(ad.supportedOrientations(), 24u);
    EXPECT_EQ(ad.reloadInterval(), 45.5);
    EXPECT_EQ(ad.debugDialogString(), "dialog");
    EXPECT_EQ(ad.customAdSizeString(), "300x250");
    EXPECT_FALSE(ad.isScrollEnabled());
    EXPECT_TRUE(core::UserDefaults::standard()->boolForKey(kUseHTTPSKey));
    EXPECT_TRUE(ad.customCloseBlocked());
    EXPECT_TRUE(ad.isFluid());
    EXPECT_EQ(ad.DWSQueryID(), "q-1");
    if (const auto location = DZLocationService::sharedInstance()) {
        EXPECT_TRUE(location->publisherAuthorized());
    }
    ASSERT_TRUE(ad.safeBrowsingReporter());
    EXPECT_EQ(ad.safeBrowsingReporter()->clickString(), "c");
    EXPECT_EQ(ad.debugSignalInformation(), "signals");
    ASSERT_TRUE(ad.responseHeaders());
    ASSERT_FALSE(ad.responseHeaders()->empty());
    EXPECT_EQ(ad.responseHeaders()->keys().front(), "x-duzo-click-tracking-urls");

    // Absent headers reset what they reset and leave the rest.
    fetcher->processHTTPHeaders(core::Dictionary{{"X-Duzo-Refresh-Rate", "-5"}});
    EXPECT_EQ(ad.reloadInterval(), 45.5) << "a negative rate is ignored";
    fetcher->processHTTPHeaders(core::Dictionary{{"X-Duzo-Refresh-Rate", "1e999"}});
    EXPECT_EQ(ad.reloadInterval(), 45.5) << "so is one that is not a finite number";
    EXPECT_EQ(ad.clickURLs().size(), 2u);
    EXPECT_TRUE(core::UserDefaults::standard()->objectForKey(kContentURLEnabledKey).isNull());
    EXPECT_FALSE(ad.liveViewConfigurations());
    EXPECT_FALSE(ad.debugDialogString());
    EXPECT_FALSE(ad.customAdSizeString());
    EXPECT_TRUE(ad.isScrollEnabled());
    EXPECT_TRUE(core::UserDefaults::standard()->boolForKey(kUseHTTPSKey)) << "kept when absent";
    EXPECT_TRUE(ad.customCloseBlocked());
    EXPECT_TRUE(ad.isFluid());
    if (const auto location = DZLocationService::sharedInstance()) {
        EXPECT_FALSE(location->publisherAuthorized());
    }
    EXPECT_EQ(ad.responseHeaders()->size(), 18u) << "headers accumulate";

    fetcher->processHTTPHeaders(core::Dictionary{{"X-Duzo-Refresh-Rate", "0"},
                                                 {"X-Duzo-Liveview", "[1]"},
                                                 {"X-Duzo-Orientation", "sideways"}});
    EXPECT_EQ(ad.reloadInterval(), 0);
    EXPECT_FALSE(ad.liveViewConfigurations()) << "not a dictionary";
    EXPECT_EQ(ad.supportedOrientations(), 24u);
}

TEST_F(DZAdFetcherTest, FalseFlagsLeaveTheirSettingsOffAndRatesStayInBounds) {
    startWithoutRequest();
    const DZAd& ad = *fetcher->ad();
    for (const char* no : {"false", "NO", "0", "", "nope"}) {
        SCOPED_TRACE(no);
        fetcher->processHTTPHeaders(core::Dictionary{{"x-duzo-use-displayed-impression", no},
                                                     {"X-Duzo-Custom-Close-Blocked", no}});
        EXPECT_EQ(ad.impressionDefinition(), 0);
        EXPECT_FALSE(ad.customCloseBlocked());
    }
    fetcher->processHTTPHeaders(core::Dictionary{{"x-duzo-custom-close-blocked", "1"}});
    EXPECT_TRUE(ad.customCloseBlocked());
    fetcher->processHTTPHeaders(core::Dictionary{{"x-duzo-custom-close-blocked", "false"}});
    EXPECT_FALSE(ad.customCloseBlocked()) << "a later false turns it off again";

    // A refresh rate beyond a day is no rate, as in an ad's dictionary.
    fetcher->processHTTPHeaders(core::Dictionary{{"x-duzo-refresh-rate", "86400"}});
    EXPECT_EQ(ad.reloadInterval(), 86400);
    for (const char* rate : {"1e308", "86400.5", "-30", "1e400"}) {
        fetcher->processHTTPHeaders(core::Dictionary{{"x-duzo-refresh-rate", rate}});
        EXPECT_EQ(ad.reloadInterval(), 86400) << rate;
    }
}
