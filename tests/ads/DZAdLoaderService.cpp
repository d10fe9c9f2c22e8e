// The native ad loader against the local ad server, its core page and the
// native support page in the web view: options into request parameters,
// early failures, ordered delivery with the final result, entries that
// give no ad, the preprocessing time-out, delegate conformance, and clicks
// and impressions through the support page.

#include <algorithm>

#include "LogCapture.h"
#include "NativeTesting.h"
#include "ads/core/request/DZMultipleAdsAdLoaderOptions.h"
#include "ads/foundation/DZLogger.h"
#include "ads/native/DZAdConfiguration.h"
#include "ads/native/DZAdLoadResults.h"

namespace {

using namespace nativetesting;

std::shared_ptr<ads::DZMultipleAdsAdLoaderOptions> multiple(std::int64_t count) {
    auto option = std::make_shared<ads::DZMultipleAdsAdLoaderOptions>();
    option->setNumberOfAds(count);
    return option;
}

class DZAdLoaderService : public NativeTest {
protected:
    [[nodiscard]] bool finished() const {
        return waitFor([&] {
            return !delegate->events.empty() && delegate->events.back() == "finish";
        });
    }
};

TEST_F(DZAdLoaderService, DeliversEveryAdInOrderAndReportsThroughTheSupportPage) {
    ASSERT_TRUE(makeLoader("native/mixed", {"1", "2"}, {multiple(3)}));
    loader->loadRequest(nullptr);
    EXPECT_TRUE(loader->isLoading());
    ASSERT_TRUE(finished());
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"ad Mixed one", "ad Vantor Photos",
                                                          "ad Mixed three", "finish"}));
    EXPECT_FALSE(delegate->loadingAtFinalCallback) << "idle again when the final ad arrives";
    EXPECT_FALSE(loader->isLoading());
    EXPECT_EQ(loader->runningPreprocessorCount(), 0u);
    EXPECT_EQ(loader->loadingAdCount(), 0u);

    // The request named both formats and the native response type.
    const auto fetches = server.requestsTo(fixtures::AdServer::kAdPath);
    ASSERT_EQ(fetches.size(), 1u);
    const std::string formats = fetches[0].queryValue("native_templates").value_or("");
    EXPECT_TRUE(formats == "1,2" || formats == "2,1") << formats;
    EXPECT_EQ(fetches[0].queryValue("native_version"), "3");
    EXPECT_EQ(fetches[0].queryValue("ina"), "true");
    const auto asked = logged("DUZO_getAd");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0]["options"]["max_num_ads"], core::Value(3));

    // The impression script of the first ad pings its tracking URL.
    ASSERT_EQ(delegate->ads.size(), 3u);
    const auto first = delegate->ads[0];
    EXPECT_EQ(first->adUnitID(), "native/mixed");
    EXPECT_EQ(first->slot(), delegate->ads[2]->slot()) << "one support page per response";
    first->recordImpressionWithEnvironment({});
    ASSERT_TRUE(requested(fixtures::NativeAds::kImpressionPath, 1));
    EXPECT_EQ(server.requestsTo(fixtures::NativeAds::kImpressionPath)[0].queryValue("ad"),
              "native/mixed:0");
    first->recordImpressionWithEnvironment({});

    // A click reaches handleClickDmsg with its asset, template and version.
    delegate->ads[1]->performClickOnView(nullptr, "callToAction", {{"x", 3}});
    ASSERT_TRUE(requested(fixtures::NativeAds::kClickPath, 1));
    ASSERT_TRUE(requested(fixtures::NativeAds::kThirdPartyClickPath, 1));
    ASSERT_TRUE(waitFor([&] { return !received("click").empty(); }));
    const auto clicks = received("click");
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0]["click"], core::Value(core::Dictionary{{"template", "2"},
                                                               {"asset", "callToAction"},
                                                               {"sdk_version", "7.22.0"}}));
    EXPECT_EQ(clicks[0]["x"], core::Value(3));
    EXPECT_EQ(clicks[0]["ad"]["headline"], core::Value("Vantor Photos"));
    EXPECT_EQ(server.requestsTo(fixtures::NativeAds::kClickPath)[0].queryValue("ad"),
              "native/mixed:1");
    EXPECT_EQ(received("impression").size(), 1u) << "one impression per ad";
}

TEST_F(DZAdLoaderService, FewerAdsThanAskedForEndWithNoFill) {
    ASSERT_TRUE(makeLoader("native/content2", {"1"}, {multiple(3)}));
    loader->loadRequest(nullptr);
    ASSERT_TRUE(finished());
    EXPECT_EQ(delegate->events,
              (std::vector<std::string>{"ad First wallpaper", "ad Second wallpaper",
                                        "fail 1 Request Error: No ad to show.", "finish"}));
}

TEST_F(DZAdLoaderService, EntriesThatGiveNoAdFillTheirIndexWithAnInvalidResponse) {
    ASSERT_TRUE(makeLoader("native/all", {"1", "2"}, {multiple(3)}));
    loader->loadRequest(nullptr);
    ASSERT_TRUE(finished());
    const std::string invalid = "fail 13 Request Error: Received invalid response.";
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"ad Vantor Photos", "ad Vantor Daily",
                                                          invalid, "finish"}))
        << "the custom template ad was not asked for";

    delegate->events.clear();
    ASSERT_TRUE(makeLoader("native/invalid", {"1"}, {multiple(3)}));
    loader->loadRequest(nullptr);
    ASSERT_TRUE(finished());
    EXPECT_EQ(delegate->events,
              (std::vector<std::string>{invalid, invalid, "ad Valid one", "finish"}));
}

TEST_F(DZAdLoaderService, CustomTemplateAdsNeedTheirTemplateIDAskedFor) {
    ASSERT_TRUE(makeLoader("native/template", {"3"}));
    loader->loadRequest(nullptr);
    ASSERT_TRUE(finished());
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"ad template 10104", "finish"}));
    ASSERT_FALSE(server.requestsTo(fixtures::AdServer::kAdPath).empty());
    EXPECT_EQ(server.requestsTo(fixtures::AdServer::kAdPath)[0].queryValue("native_custom_templates"),
              "10104");

    delegate->events.clear();
    delegate->templateIDs = core::Array{"77"};
    ASSERT_TRUE(makeLoader("native/template", {"3"}));
    loader->loadRequest(nullptr);
    ASSERT_TRUE(finished());
    EXPECT_EQ(delegate->events,
              (std::vector<std::string>{"fail 13 Request Error: Received invalid response.",
                                        "finish"}));
}

TEST_F(DZAdLoaderService, OptionsOfOneClassCountOnceAndInvalidOnesAreIgnored) {
    adtesting::LogCapture console;
    ASSERT_TRUE(makeLoader("native/content2", {"1"}, {multiple(3), nullptr, multiple(5)}));
    ads::DZLogger::sharedInstance().waitForLogging();
    EXPECT_EQ(console.lines(),
              (std::vector<std::string>{
                  "<Dozuza> Invalid ad loader option will be ignored ((null)).",
                  "<Dozuza> Options already provided for DZMultipleAdsAdLoaderOptions. Ignoring "
                  "option object (<DZMultipleAdsAdLoaderOptions>)."}));
    loader->loadRequest(nullptr);
    ASSERT_TRUE(finished());
    const auto asked = logged("DUZO_getAd");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0]["options"]["max_num_ads"], core::Value(3));
}

TEST_F(DZAdLoaderService, RequestsThatCannotRunFailAsFinalWithoutFetching) {
    struct Case {
        std::vector<std::string> types;
        std::int64_t count;
        std::string failure;
    };
    for (const Case& c : {Case{{"1"}, 0, "fail 0 Requested ad count must be positive."},
                          Case{{"1"}, -2, "fail 0 Requested ad count must be positive."},
                          Case{{}, 1, "fail 0 Must specify at least one ad type."}}) {
        delegate->events.clear();
        ASSERT_TRUE(makeLoader("native/content2", c.types, {multiple(c.count)}));
        loader->loadRequest(nullptr);
        EXPECT_TRUE(delegate->events.empty()) << "never from within the call";
        ASSERT_TRUE(finished());
        EXPECT_EQ(delegate->events, (std::vector<std::string>{c.failure, "finish"}));
        EXPECT_FALSE(loader->isLoading());
    }
    EXPECT_TRUE(server.requestsTo(fixtures::AdServer::kAdPath).empty());
}

TEST_F(DZAdLoaderService, APreprocessingTimeOutEndsWithNoFill) {
    useSupportPage("mode=silent");
    ASSERT_TRUE(makeLoader("native/content2", {"1"}));
    loader->loadRequest(nullptr);
    ASSERT_TRUE(requested(fixtures::NativeAds::kSupportPath, 1));
    ASSERT_TRUE(waitFor([&] {
        clock.advance(1);
        return !delegate->events.empty();
    }));
    ASSERT_TRUE(finished());
    EXPECT_EQ(delegate->events,
              (std::vector<std::string>{"fail 1 Request Error: No ad to show.", "finish"}));
}

TEST_F(DZAdLoaderService, ASecondRequestWhileLoadingIsLoggedAndIgnored) {
    ASSERT_TRUE(makeLoader("native/content2", {"1"}, {multiple(2)}));
    adtesting::LogCapture console;
    loader->loadRequest(nullptr);
    loader->loadRequest(nullptr);
    ads::DZLogger::sharedInstance().waitForLogging();
    // (The slot's first request of the process also logs its test-device hint.)
    const auto lines = console.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "<Dozuza> Another request already in progress. Ignoring new request."),
              1);
    ASSERT_TRUE(finished());
    EXPECT_EQ(delegate->events.size(), 3u);
    EXPECT_EQ(server.requestsTo(fixtures::AdServer::kAdPath).size(), 1u);

    // Idle again: the next request runs.
    loader->loadRequest(nullptr);
    ASSERT_TRUE(waitFor([&] { return delegate->events.size() == 6; }));
}

TEST_F(DZAdLoaderService, ADelegateWithoutTheClassProtocolIsRefused) {
    adtesting::LogCapture console;
    loader = ads::DZAdLoader::create("native/template", {}, {"1", "3"}, {});
    ASSERT_TRUE(loader);
    const auto contentOnly = std::make_shared<ContentOnlyDelegate>();
    loader->setDelegate(delegate);
    loader->setDelegate(contentOnly);
    ads::DZLogger::sharedInstance().waitForLogging();
    EXPECT_EQ(loader->delegate(), delegate) << "the old delegate stays";
    ASSERT_EQ(console.lines().size(), 1u);
    EXPECT_EQ(console.lines()[0],
              "<Dozuza> Delegate does not conform to the required protocol, "
              "DZNativeCustomTemplateAdLoaderDelegate. Add DZNativeCustomTemplateAdLoaderDelegate "
              "to nativetesting::ContentOnlyDelegate's protocol list.");
    loader->setDelegate(nullptr);
    EXPECT_FALSE(loader->delegate());
}

TEST_F(DZAdLoaderService, ResultsAreDeliveredByIndexWhateverOrderTheyFinishIn) {
    ASSERT_TRUE(makeLoader("native/none", {"1"}));
    const auto results = std::make_shared<ads::DZAdLoadResults>(loader, 2);
    results->setReturnedAdCount(2);
    const auto ad = [](const std::string& headline) -> std::shared_ptr<ads::DZLoadable> {
        return ads::DZNativeContentAd::create({{"headline", headline}, {"body", "b"}}, {});
    };
    results->insertAdLoadResult(ad("second"), 1);
    ASSERT_TRUE(drainMainQueue());
    EXPECT_TRUE(delegate->events.empty()) << "index 1 waits for index 0";
    results->insertAdLoadResult(std::shared_ptr<ads::DZLoadable>(), 0);  // ignored
    results->insertAdLoadResult(ad("first"), 0);
    ASSERT_TRUE(finished());
    EXPECT_EQ(delegate->events,
              (std::vector<std::string>{"ad first", "ad second", "finish"}));

    delegate->events.clear();
    const auto none = std::make_shared<ads::DZAdLoadResults>(loader, 1);
    none->setReturnedAdCount(0);
    ASSERT_TRUE(finished());
    EXPECT_EQ(delegate->events,
              (std::vector<std::string>{"fail 1 Request Error: No ad to show.", "finish"}));
}

}  // namespace
