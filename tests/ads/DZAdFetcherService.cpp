#include <gtest/gtest.h>

#include <algorithm>

#include "AdFetcherTesting.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/response/DZAdFetcher.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/foundation/DZLogger.h"
#include "core/Console.h"
#include "core/UserDefaults.h"
#include "fixtures/AdServer.h"

using namespace ads;
using adfetchertesting::FetchRecorder;
using fixtures::AdVariant;
using fixtures::LoopbackResponse;

namespace {

class DZAdFetcherService : public testing::Test {
protected:
    void SetUp() override { DZURLConnection::clearCache(); }
    void TearDown() override { core::UserDefaults::standard()->removeObjectForKey(kContentURLKey); }

    static constexpr const char* kContentURLKey = "/dozuza/ads/content_url_enabled";

    // Fetches path into a new ad and waits for the outcome.
    std::shared_ptr<FetchRecorder> fetch(const std::string& path) {
        auto recorder = std::make_shared<FetchRecorder>();
        const auto fetcher = std::make_shared<DZAdFetcher>();
        const auto ad = std::make_shared<DZAd>();
        ad->setAdURL(server_.url(path));
        EXPECT_TRUE(fetcher->fetchRemainingContentForAd(ad, std::nullopt, recorder, nullptr));
        EXPECT_TRUE(recorder->waitForOutcome());
        return recorder;
    }
    static LoopbackResponse withHeaders(LoopbackResponse response,
                                        const core::HTTPHeaders& headers) {
        for (const auto& [name, value] : headers) response.headers.set(name, value);
        return response;
    }

    fixtures::AdServer server_;
};

}  // namespace

TEST_F(DZAdFetcherService, HeadersDecideTheTypeAndSettings) {
    const auto json = [](const char* contentType) {
        return LoopbackResponse::text(R"({"ad_networks":[]})", 200, contentType);
    };
    struct Case {
        const char* name;
        LoopbackResponse response;
        std::uint64_t type;         // when fetched
        std::optional<long> error;  // when failed
    };
    const Case cases[] = {
        {"mediation",
         withHeaders(json("application/json; charset=utf-8"), {{"X-DUZO-Mediation", "1"}}),
         DZAdResponseTypeMediation, std::nullopt},
        {"mediation over html", withHeaders(json("text/html"), {{"X-DUZO-Mediation", "1"}}), 0,
         kDZErrorServerError},
        {"native", withHeaders(json("application/json"), {{"X-Duzo-Ad-Format", "NATIVE"}}),
         DZAdResponseTypeNative, std::nullopt},
        {"native before custom",
         withHeaders(server_.adResponse(AdVariant::customRendering),
                     {{"x-duzo-ad-format", "native"}}),
         DZAdResponseTypeNative, std::nullopt},
        {"custom", server_.adResponse(AdVariant::customRendering), DZAdResponseTypeCustomRendering,
         std::nullopt},
        {"html", server_.adResponse(AdVariant::html), DZAdResponseTypeHTML, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server_.script("/case", {c.response});
        const auto outcome = fetch("/case");
        EXPECT_EQ(outcome->calls, 1);
        if (c.error) {
            ASSERT_TRUE(outcome->error);
            EXPECT_EQ(outcome->error->code, *c.error);
            EXPECT_EQ(outcome->responseCode, 0);
        } else {
            ASSERT_TRUE(outcome->fetched);
            EXPECT_EQ(outcome->ad->responseType(), c.type);
            EXPECT_EQ(outcome->ad->adBaseURL(), server_.url("/case"));
        }
    }

    const auto html = fetch("/mads/ad");
    ASSERT_TRUE(html->fetched);
    EXPECT_EQ(html->ad->adHTML(), server_.adHTML());
    EXPECT_EQ(html->ad->clickURLs(), std::vector<core::URL>{server_.url("/clk?id=1")});
    EXPECT_EQ(html->ad->reloadInterval(), 30);
    ASSERT_TRUE(html->ad->originalRequest());
    EXPECT_EQ(html->ad->originalRequest()->url(), server_.url("/mads/ad"));
}

TEST_F(DZAdFetcherService, RefreshRatesAndTheContentURLSwitchFromTheNetwork) {
    server_.script(
        "/rate",
        {withHeaders(server_.adResponse(AdVariant::html),
                     {{"X-Duzo-Refresh-Rate", "-5"}, {"X-Duzo-Content-Url-Opted-Out", "false"}}),
         withHeaders(server_.adResponse(AdVariant::html), {{"X-Duzo-Refresh-Rate", "0"}})});
    DZCallLog::clear();
    const auto negative = fetch("/rate");
    ASSERT_TRUE(negative->fetched);
    EXPECT_EQ(negative->ad->reloadInterval(), 0) << "-5 leaves the default";
    EXPECT_TRUE(core::UserDefaults::standard()->boolForKey(kContentURLKey))
        << "the mixed-case header name reaches the switch";
    const auto entries = DZCallLog::entries();
    EXPECT_NE(std::find(entries.begin(), entries.end(), "DZApplication.startContentHashing"),
              entries.end());

    const auto zero = fetch("/rate");
    ASSERT_TRUE(zero->fetched);
    EXPECT_EQ(zero->ad->reloadInterval(), 0);
    EXPECT_TRUE(core::UserDefaults::standard()->objectForKey(kContentURLKey).isNull());
}

TEST_F(DZAdFetcherService, FailedLoadsMapToSDKErrors) {
    LoopbackResponse cut = LoopbackResponse::text(server_.adHTML(), 200, "text/html");
    cut.closeAfter = 10;
    server_.script("/status",
                   {LoopbackResponse::text("<p>bad request</p>", 400, "text/html"),
                    LoopbackResponse::text("<p>unavailable</p>", 503, "text/html"), cut});
    core::Console::Capture console;
    const auto rejected = fetch("/status");
    const auto unavailable = fetch("/status");
    const auto truncated = fetch("/status");
    DZLogger::sharedInstance().waitForLogging();

    ASSERT_TRUE(rejected->error);
    EXPECT_EQ(rejected->error->code, kDZErrorInvalidRequest);
    EXPECT_EQ(rejected->responseCode, 400);
    EXPECT_FALSE(rejected->ad->adHTML()) << "never an ad made of the error page";
    const std::string message =
        "<Dozuza> Server rejected ad parameters. Typically this is because the ad unit ID is "
        "incorrect.";
    const auto lines = console.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), message), 1);

    ASSERT_TRUE(unavailable->error);
    EXPECT_EQ(unavailable->error->code, kDZErrorServerError);
    EXPECT_EQ(unavailable->error->httpStatus, 503);
    EXPECT_EQ(unavailable->responseCode, 503);
    EXPECT_FALSE(unavailable->ad->adHTML());

    ASSERT_TRUE(truncated->error);
    EXPECT_EQ(truncated->error->code, kDZErrorNetworkError) << "a failure after a 200";
    EXPECT_EQ(truncated->responseCode, 200);

    // Nothing listens on port 9.
    const auto recorder = std::make_shared<FetchRecorder>();
    const auto fetcher = std::make_shared<DZAdFetcher>();
    ASSERT_TRUE(fetcher->fetchRequestURL(
        core::URLRequest(*core::URL::create("http://127.0.0.1:9/ad")), recorder, nullptr));
    ASSERT_TRUE(recorder->waitForOutcome());
    EXPECT_EQ(recorder->error->code, kDZErrorReceivedInvalidResponse);
    EXPECT_EQ(recorder->responseCode, -1);
    EXPECT_FALSE(recorder->error->httpStatus);
}

TEST_F(DZAdFetcherService, NoContentIsNoFill) {
    server_.setAdVariant(AdVariant::noFill);
    server_.script("/empty", {LoopbackResponse::text("", 200, "text/html")});
    for (const char* path : {"/mads/ad", "/empty"}) {
        const auto outcome = fetch(path);
        ASSERT_TRUE(outcome->error) << path;
        EXPECT_EQ(outcome->error->code, kDZErrorNoFill) << path;
        EXPECT_EQ(outcome->responseCode, 0) << path;
    }
}

TEST_F(DZAdFetcherService, ARedirectsTrackingURLsJoinTheAd) {
    server_.setAdVariant(AdVariant::redirect);
    const auto outcome = fetch("/mads/ad");
    ASSERT_TRUE(outcome->fetched);
    DZAd& ad = *outcome->ad;
    EXPECT_EQ(ad.impressionURLs(), std::vector<core::URL>{server_.url("/imp?via=redirect")});
    EXPECT_EQ(ad.clickURLs(), std::vector<core::URL>{server_.url("/clk?via=redirect")});
    ASSERT_EQ(ad.redirects().size(), 1u);
    EXPECT_EQ(ad.redirects()[0]->response().statusCode(), 302);
    EXPECT_EQ(ad.adBaseURL(), server_.url("/mads/creative"));
    EXPECT_EQ(ad.adHTML(), server_.adHTML());
}

TEST_F(DZAdFetcherService, AnAdFromTheCorePageNeedsNoRequest) {
    const auto ad = std::make_shared<DZAd>();
    ad->setAdHTML("<p>from the core page</p>");
    ad->setAdURL(server_.url("/mads/ad"));
    const auto recorder = std::make_shared<FetchRecorder>();
    const auto fetcher = std::make_shared<DZAdFetcher>();
    ASSERT_TRUE(fetcher->fetchRemainingContentForAd(ad, std::nullopt, recorder, nullptr));
    ASSERT_TRUE(recorder->waitForOutcome());
    EXPECT_TRUE(recorder->fetched);
    EXPECT_EQ(recorder->ad->responseType(), DZAdResponseTypeHTML);
    EXPECT_TRUE(server_.requests().empty());
}

TEST_F(DZAdFetcherService, ACancelledFetchCallsNothing) {
    server_.serve("/slow", server_.adResponse(AdVariant::html).after(200));
    const auto cancelled = std::make_shared<FetchRecorder>();
    const auto fetcher = std::make_shared<DZAdFetcher>();
    const auto ad = std::make_shared<DZAd>();
    ad->setAdURL(server_.url("/slow"));
    ASSERT_TRUE(fetcher->fetchRemainingContentForAd(ad, std::nullopt, cancelled, nullptr));
    ASSERT_TRUE(
        core::RunLoop::main().runUntil([&] { return !server_.requestsTo("/slow").empty(); }, 5));
    fetcher->cancel();

    // A second fetch of the same slow answer, sent later, ends after the
    // first would have.
    const auto later = fetch("/slow");
    EXPECT_TRUE(later->fetched);
    EXPECT_EQ(cancelled->calls, 0);
}

TEST_F(DZAdFetcherService, OnlyMediationIsAnsweredFromTheCache) {
    const auto cacheable = [](LoopbackResponse response, std::string body) {
        response.body = std::move(body);
        response.headers.set("Cache-Control", "max-age=60");
        return response;
    };
    for (const AdVariant variant : {AdVariant::mediation, AdVariant::html}) {
        const std::string path = variant == AdVariant::mediation ? "/mediation" : "/html";
        server_.script(path, {cacheable(server_.adResponse(variant), R"({"n":1})"),
                              cacheable(server_.adResponse(variant), R"({"n":2})")});
        EXPECT_EQ(fetch(path)->ad->adHTML(), R"({"n":1})");
        const std::string second = variant == AdVariant::mediation ? R"({"n":1})" : R"({"n":2})";
        EXPECT_EQ(fetch(path)->ad->adHTML(), second) << path;
    }
}
