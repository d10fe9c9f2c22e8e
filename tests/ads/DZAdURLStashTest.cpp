// The URL stash: requests, responses and bytes filed under the ad view whose
// page issued them, load counts, ad views that went away, and the URL
// protocol's decision to record, take or pass a request.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "AdWebTesting.h"
#include "ResourceCollectionTesting.h"
#include "ads/core/response/DZAd.h"
#include "ads/foundation/DZSafeBrowsingReporter.h"
#include "ads/web/intercept/DZAdURLStash.h"
#include "ads/web/intercept/DZAdViewResourceCollection.h"
#include "ads/web/intercept/DZMRAIDInterceptor.h"
#include "ads/web/intercept/DZURLProtocol.h"
#include "core/JSON.h"
#include "fixtures/AdServer.h"

namespace {

using ads::DZAdURLStash;
using ads::DZURLProtocol;
using resourcetesting::request;

constexpr const char* kPage = "https://ad.example/page";

class DZAdURLStashTest : public testing::Test {
protected:
    void TearDown() override {
        adView.reset();
        EXPECT_TRUE(adwebtesting::drainMainQueue());
    }
    // The URLs of the ad view's resources, in order; parents by index.
    std::vector<std::string> recorded(const DZAdURLStash& from) const {
        std::vector<std::string> urls;
        const auto collection = from.resourceCollectionForAdView(adView);
        if (!collection) return urls;
        const core::Dictionary report = collection->dictionaryRepresentation();
        const core::Array* resources = report["resources"].array();
        if (!resources) {
            ADD_FAILURE() << "the report has no resources";
            return urls;
        }
        for (const core::Value& entry : *resources) {
            if (!entry.dictionary()) {
                ADD_FAILURE() << "a resource that is no dictionary";
                continue;
            }
            std::string text = entry["url"].stringValue();
            if (entry.dictionary()->contains("parent_id"))
                text += " <" + std::to_string(entry["parent_id"].intValue());
            if (entry.dictionary()->contains("response"))
                text += " " + std::to_string(entry["response"]["firstline"]["code"].intValue());
            urls.push_back(std::move(text));
        }
        return urls;
    }

    resourcetesting::ResolverScope resolver{{}};
    std::shared_ptr<DZAdURLStash> stash = DZAdURLStash::create();
    std::shared_ptr<ads::DZAdView> adView = ads::DZAdView::create({0, 0, 320, 50});
};

TEST_F(DZAdURLStashTest, RecordsFindTheAdViewByItsPage) {
    stash->willLoadURLRequest(adView, request(kPage, kPage));
    // Filed by the page that issued them, in the canonical form of its URL.
    const auto script = request("https://cdn.example/s.js", "https://ad.example:80/page/");
    stash->willLoadURLRequest(nullptr, script);
    stash->willReceiveResponse(nullptr, script, core::HTTPURLResponse(script.url(), 200, {}));
    stash->didReceiveData(nullptr, script, core::Data{'x'});
    // Of another page, or of none: not recorded.
    stash->willLoadURLRequest(nullptr, request("https://cdn.example/o.js", "https://other.example/"));
    stash->willLoadURLRequest(adView, request("https://cdn.example/n.js"));
    EXPECT_EQ(recorded(*stash), (std::vector<std::string>{kPage, "https://cdn.example/s.js <0 200"}));
    EXPECT_EQ(stash->adViewForURLRequest(request("https://x.example/", kPage + std::string("#f"))),
              adView);
    EXPECT_FALSE(stash->adViewForURLRequest(request("https://x.example/", "https://other.example/")));
    EXPECT_FALSE(stash->adViewForURLRequest(request("https://x.example/")));

    // A new page of the ad view takes over the mapping.
    stash->willLoadURLRequest(adView, request("https://ad.example/next", "https://ad.example/next"));
    EXPECT_FALSE(stash->adViewForURLRequest(request("https://x.example/", kPage)));
    EXPECT_EQ(stash->adViewForURLRequest(request("https://x.example/", "https://ad.example/next")),
              adView);
}

// A page and its loads as the engine wrote them (what a UI-kind page's loads
// carry) are filed and found as any other, byte for byte.
TEST_F(DZAdURLStashTest, URLsAsTheEngineWroteThemAreFiledAsWritten) {
    using resourcetesting::webRequest;
    const std::string page = "https://ad.example/ad|page/{x}?cb=[1]";
    stash->willLoadURLRequest(adView, webRequest(page, page));
    const std::string load = "https://cdn.example/a%zzb/\xC3\xA9?x=a|b";
    const auto script = webRequest(load, page + "#f|g");
    EXPECT_EQ(stash->adViewForURLRequest(script), adView);
    stash->willLoadURLRequest(nullptr, script);
    stash->willReceiveResponse(nullptr, script, core::HTTPURLResponse(script.url(), 200, {}));
    EXPECT_EQ(recorded(*stash), (std::vector<std::string>{page, load + " <0 200"}));
}

TEST_F(DZAdURLStashTest, APageURLTakenByAnotherAdViewStaysItsWhenTheFirstMovesOrGoes) {
    const auto other = ads::DZAdView::create({0, 0, 320, 50});
    ASSERT_TRUE(other);
    stash->willLoadURLRequest(adView, request(kPage, kPage));
    stash->willLoadURLRequest(other, request(kPage, kPage));
    EXPECT_EQ(stash->adViewForURLRequest(request("https://x.example/", kPage)), other);

    // The first ad view's next page, and its new root content, leave the
    // other's mapping alone.
    stash->willLoadURLRequest(adView, request("https://ad.example/next", "https://ad.example/next"));
    EXPECT_EQ(stash->adViewForURLRequest(request("https://x.example/", kPage)), other);
    stash->adViewWillLoadRootContent(adView);
    EXPECT_EQ(stash->adViewForURLRequest(request("https://x.example/", kPage)), other);
    EXPECT_FALSE(stash->adViewForURLRequest(request("https://x.example/", "https://ad.example/next")));
    stash->willLoadURLRequest(nullptr, request("https://cdn.example/s.js", kPage));
    EXPECT_EQ(stash->resourceCollectionForAdView(other)->dictionaryRepresentation()["resources"].size(),
              2u);
}

TEST_F(DZAdURLStashTest, LoadsInProgressAreCounted) {
    EXPECT_FALSE(stash->hasLoadingAd());
    stash->adViewDidStartLoad(adView);
    stash->adViewDidStartLoad(adView);
    stash->adViewDidFinishLoad(adView);
    EXPECT_TRUE(stash->hasLoadingAd());
    stash->adViewDidFinishLoad(adView);
    EXPECT_FALSE(stash->hasLoadingAd());
    EXPECT_EQ(stash->adViewCount(), 0u);
    // Two finishes after one start leave nothing behind either.
    stash->adViewDidStartLoad(adView);
    stash->adViewDidFinishLoad(adView);
    stash->adViewDidFinishLoad(adView);
    EXPECT_FALSE(stash->hasLoadingAd());
    EXPECT_EQ(stash->adViewCount(), 0u);
}

TEST_F(DZAdURLStashTest, AnAdViewThatWentAwayUnannouncedIsForgottenAtALookUp) {
    // This stash is not the one ad views tell of their teardown.
    stash->willLoadURLRequest(adView, request(kPage, kPage));
    stash->adViewDidStartLoad(adView);
    adView.reset();
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_FALSE(stash->hasLoadingAd());
    EXPECT_EQ(stash->adViewCount(), 1u);
    EXPECT_FALSE(stash->adViewForURLRequest(request("https://x.example/", kPage)));
    EXPECT_EQ(stash->adViewCount(), 0u);
    stash->willLoadURLRequest(nullptr, request("https://x.example/", kPage));
    EXPECT_EQ(stash->adViewCount(), 0u);
}

class DZAdURLStashService : public DZAdURLStashTest {
protected:
    fixtures::AdServer server;
};

TEST_F(DZAdURLStashService, AGoneAdViewsCollectionIsReportedByTheLookUpThatMeetsIt) {
    auto ad = std::make_shared<ads::DZAd>();
    ad->setSafeBrowsingReporter(ads::DZSafeBrowsingReporter::create(
        core::Dictionary{{"click_string", "CLK"},
                         {"report_url", server.urlString("/sb")},
                         {"non_malicious_reporting_enabled", true}}));
    adView->setAd(ad);
    stash->willLoadURLRequest(adView, request(kPage, kPage));
    const auto collection = stash->resourceCollectionForAdView(adView);
    ASSERT_TRUE(collection);
    ASSERT_TRUE(adwebtesting::waitFor([&] { return collection->safeBrowsingReporter() != nullptr; }));
    // This stash never hears of the teardown; the look-up that meets the
    // gone ad view reports what its page loaded.
    adView.reset();
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_TRUE(server.requestsTo("/sb").empty());
    EXPECT_FALSE(stash->adViewForURLRequest(request("https://x.example/", kPage)));
    ASSERT_TRUE(adwebtesting::waitFor([&] { return !server.requestsTo("/sb").empty(); }));
    const auto report = core::JSON::parse(server.requestsTo("/sb").front().body);
    ASSERT_TRUE(report);
    EXPECT_EQ((*report)["url"], core::Value("https://ad.example:80/page"));  // canonical
}

TEST_F(DZAdURLStashTest, NewRootContentStartsANewCollectionAndClicksNeedOne) {
    stash->didClickThroughToURL(adView, *core::URL::create("https://land.example/"));
    stash->adViewDidFinishLayout(adView);
    EXPECT_FALSE(stash->resourceCollectionForAdView(adView));

    stash->willLoadURLRequest(adView, request(kPage, kPage));
    const auto first = stash->resourceCollectionForAdView(adView);
    ASSERT_TRUE(first);
    stash->didClickThroughToURL(adView, *core::URL::create("https://land.example/"));
    stash->didAttemptAutoClickRequest(adView, request("https://auto.example/", kPage));
    (void)stash->adViewCount();  // what the stash posted has reached the collection
    EXPECT_TRUE(first->isMalicious());
    EXPECT_EQ(first->dictionaryRepresentation()["click_url"], core::Value("https://land.example/"));

    stash->adViewWillLoadRootContent(adView);
    EXPECT_FALSE(stash->resourceCollectionForAdView(adView));
    EXPECT_FALSE(stash->adViewForURLRequest(request("https://x.example/", kPage)));
    stash->willLoadURLRequest(adView, request(kPage, kPage));
    const auto second = stash->resourceCollectionForAdView(adView);
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_FALSE(second->isMalicious());
}

// The protocol's decisions go through the shared stash.
class DZURLProtocolDecisionTest : public DZAdURLStashTest {
protected:
    void SetUp() override {
        // The scripts and the switch as they are before any server says
        // otherwise: a core page of an earlier test may have set them.
        const auto interceptor = ads::DZMRAIDInterceptor::sharedInstance();
        interceptor->restoreDefaultImplementationURLStrings();
        interceptor->setEnabled(true);
        // A new ad is new root content: the page is recorded after it.
        adView->setAd(std::make_shared<ads::DZAd>());
        shared->willLoadURLRequest(adView, request(kPage, kPage));
    }
    void TearDown() override {
        ads::DZMRAIDInterceptor::sharedInstance()->setEnabled(true);
        // No report leaves the machine when the ad view goes.
        adView->ad()->setSafeBrowsingReporter(nullptr);
        DZAdURLStashTest::TearDown();
    }
    void setReporter(core::Dictionary settings) {
        settings.set("click_string", "CLK");
        settings.set("report_url", "https://sb.example/report");
        adView->ad()->setSafeBrowsingReporter(ads::DZSafeBrowsingReporter::create(settings));
    }
    [[nodiscard]] static bool takes(const std::string& url, const char* page = kPage) {
        return DZURLProtocol::canInitWithRequest(request(url, page));
    }

    std::shared_ptr<DZAdURLStash> shared = DZAdURLStash::sharedInstance();
    adwebtesting::ConstantsScope constants;
};

TEST_F(DZURLProtocolDecisionTest, TheMRAIDScriptIsTakenWhileSubstitutionIsOn) {
    EXPECT_TRUE(takes("https://cdn.example/mraid.js?v=1"));
    EXPECT_FALSE(takes("https://cdn.example/other.js"));
    ads::DZMRAIDInterceptor::sharedInstance()->setEnabled(false);
    EXPECT_FALSE(takes("https://cdn.example/mraid.js?v=2"));
    ads::DZMRAIDInterceptor::sharedInstance()->setEnabled(true);
    // Of no registered page: neither taken nor recorded.
    EXPECT_FALSE(takes("https://cdn.example/mraid.js?v=3", "https://other.example/"));
    // Marked as the protocol's own: never taken, not even recorded.
    core::URLRequest own = request("https://cdn.example/mraid.js?v=4", kPage);
    own.setProperty(std::string(DZURLProtocol::kHandledKey), true);
    EXPECT_FALSE(DZURLProtocol::canInitWithRequest(own));
    EXPECT_EQ(recorded(*shared),
              (std::vector<std::string>{kPage, "https://cdn.example/mraid.js?v=1 <0",
                                        "https://cdn.example/other.js <0",
                                        "https://cdn.example/mraid.js?v=2 <0"}));

    // The substitute is the variant for the ad view, for script requests only.
    const DZURLProtocol script(request("https://cdn.example/mraid.js", kPage), nullptr);
    ASSERT_TRUE(script.substituteURL());
    EXPECT_EQ(script.substituteURL()->absoluteString(),
              ads::DZMRAIDInterceptor::sharedInstance()->expandedBannerImplementationURLString());
    EXPECT_FALSE(DZURLProtocol(request("https://cdn.example/a.js", kPage), nullptr).substituteURL());
    EXPECT_FALSE(
        DZURLProtocol(request("https://cdn.example/mraid.js", "https://other.example/"), nullptr)
            .substituteURL());
}

TEST_F(DZURLProtocolDecisionTest, ResponsesAreCapturedWhenTheSafeBrowsingSettingsAsk) {
    const std::string script = "https://cdn.example/s.js";
    setReporter({{"non_malicious_reporting_enabled", true}});
    EXPECT_FALSE(takes(script)) << "\"sb_response\" is off";
    constants.set(DZAdURLStash::kSafeBrowsingResponseKey, "yes");
    EXPECT_TRUE(takes(script));
    setReporter({{"protection_enabled", false}});
    EXPECT_FALSE(takes(script)) << "malicious reports without protection";
    setReporter({{"protection_enabled", true}});
    EXPECT_TRUE(takes(script));
    setReporter({{"malicious_reporting_enabled", false}, {"protection_enabled", true}});
    EXPECT_FALSE(takes(script));
    adView->ad()->setSafeBrowsingReporter(nullptr);
    EXPECT_FALSE(takes(script));
    constants.set(DZAdURLStash::kSafeBrowsingResponseKey, "0");
    setReporter({{"non_malicious_reporting_enabled", true}});
    EXPECT_FALSE(takes(script));
    EXPECT_EQ(recorded(*shared).size(), 2u) << "every decision recorded the one request";
}

TEST_F(DZURLProtocolDecisionTest, ALoadingThreadDecidesWithoutWaitingForTheMainThread) {
    constants.set(DZAdURLStash::kSafeBrowsingResponseKey, "yes");
    // The reporter a loading thread goes by is the one the main thread saw
    // when it last named the ad view (a page load names it).
    const auto decideElsewhere = [&](bool* inTime) {
        std::promise<bool> decided;
        auto answer = decided.get_future();
        std::thread loader([&] {
            decided.set_value(
                shared->shouldInterceptRequest(request("https://cdn.example/s.js", kPage)));
        });
        // The main thread waits for the load, as a synchronous fetch would.
        *inTime = answer.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        if (!*inTime) (void)adwebtesting::drainMainQueue();
        loader.join();
        return answer.get();
    };
    bool inTime = false;
    setReporter({{"non_malicious_reporting_enabled", true}});
    shared->adViewDidStartLoad(adView);
    EXPECT_TRUE(decideElsewhere(&inTime));
    EXPECT_TRUE(inTime) << "the loading thread waited for the main thread";

    setReporter({{"protection_enabled", false}});
    shared->adViewDidStartLoad(adView);
    EXPECT_FALSE(decideElsewhere(&inTime));
    EXPECT_TRUE(inTime);
    // A page of no ad view is not taken.
    std::thread([&] {
        EXPECT_FALSE(shared->shouldInterceptRequest(
            request("https://cdn.example/s.js", "https://other.example/")));
    }).join();
    shared->adViewDidFinishLoad(adView);
    shared->adViewDidFinishLoad(adView);
}

}  // namespace
