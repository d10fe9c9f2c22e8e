// Ad URLs built by the core page and the HTTP fetches it asks for: answers
// in call order, the mediation function, inline ads, rejections, time-outs
// and page failures; fetch replies, repeated ids and refused URLs.

#include "SDKCoreTesting.h"
#include "ads/core/response/DZAdResponseType.h"
#include "ads/core/response/DZBannerAd.h"
#include "fixtures/ResponseGate.h"

namespace {

using namespace sdkcoretesting;
using ads::DZSDKCoreWebView;
using AdAnswer = fixtures::CorePageOptions::AdAnswer;

class DZSDKCoreAdURLService : public SDKCoreTest {
protected:
    std::shared_ptr<RecordingRequester> request(core::Dictionary parameters = {{"slotname", "s"}},
                                                std::uint64_t type = 1) {
        auto requester = std::make_shared<RecordingRequester>(std::move(parameters), type);
        controller->buildAdURL(requester);
        return requester;
    }
    void serve(AdAnswer answer, core::Dictionary inlineAd = {}) {
        fixtures::CorePageOptions options;
        options.adAnswer = answer;
        options.inlineAd = std::move(inlineAd);
        server.setCorePage(options);
    }
};

TEST_F(DZSDKCoreAdURLService, RequestersBeforeTheLoadAreAnsweredInCallOrder) {
    serve(AdAnswer::url);
    makeController();
    const auto first = request({{"slotname", "one"}, {"eid", "11,12"}});
    const auto second = request({{"slotname", "two"}});
    ASSERT_TRUE(waitFor([&] { return !first->events.empty() && !second->events.empty(); }));
    EXPECT_EQ(first->requestID, "1");
    EXPECT_EQ(second->requestID, "2");
    const std::string base = server.secureBaseURL() + "/mads/ad?slotname=";
    EXPECT_EQ(first->events, std::vector<std::string>{"url " + base + "one&request_id=1"});
    EXPECT_EQ(second->events, std::vector<std::string>{"url " + base + "two&request_id=2"});
    const auto experiments = first->recorder->experimentIDs();
    EXPECT_NE(std::find(experiments.begin(), experiments.end(), "12"), experiments.end());
    EXPECT_EQ(server.requestsTo(fixtures::CorePage::kPath).size(), 1u);

    // The mediation parameter picks the other function.
    const auto mediated = request({{"dozuza-ad-url-mediation", "1"}});
    ASSERT_TRUE(waitFor([&] { return !mediated->events.empty(); }));
    const auto calls = logged("DUZO_getAdapterLessMediationAd");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0]["request_id"], core::Value("3"));
    EXPECT_EQ(logged("DUZO_getAd", 2).size(), 2u);
}

TEST_F(DZSDKCoreAdURLService, AnInlineMediationAdGetsItsTypeAndBothHeaders) {
    serve(AdAnswer::inlineAd, {{"ad_html", "<p>inline</p>"},
                               {"ad_base_url", "https://a.test/"},
                               {"is_mediation", true},
                               {"_native_interstitial_size", core::Dictionary{{"width", 5}}}});
    makeController();
    const auto requester = request({{"slotname", "s"}}, 1);
    ASSERT_TRUE(waitFor([&] { return !requester->events.empty(); }));
    ASSERT_EQ(requester->events, std::vector<std::string>{"ad"});
    ASSERT_TRUE(std::dynamic_pointer_cast<ads::DZBannerAd>(requester->ad));
    EXPECT_EQ(requester->ad->responseType(), ads::DZAdResponseTypeMediation);
    EXPECT_EQ(requester->ad->adHTML(), "<p>inline</p>");
    ASSERT_TRUE(requester->headers);
    EXPECT_EQ(*requester->headers,
              (core::Dictionary{{"x-duzo-mediation", 1}, {"Content-Type", "application/json"}}));
}

TEST_F(DZSDKCoreAdURLService, RejectionsTimeOutsAndFailures) {
    struct Case {
        AdAnswer answer;
        int status;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {AdAnswer::invalid, 200, {"invalid"}},
        {AdAnswer::invalidWithErrors, 200, {"invalid"}},
        {AdAnswer::silent, 200, {"timeout 5"}},
        {AdAnswer::url, 500, {"failed"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        fixtures::CorePageOptions options;
        options.adAnswer = c.answer;
        options.status = c.status;
        server.setCorePage(options);
        makeController();
        const auto requester = request();
        if (c.answer == AdAnswer::silent) {
            ASSERT_EQ(logged("DUZO_getAd").size(), 1u);
            clock.advance(10.5);
        }
        ASSERT_TRUE(waitFor([&] { return !requester->events.empty(); }));
        if (c.answer == AdAnswer::silent) {
            // A late answer finds nobody.
            sendFromPage("loadAdURL", {{"request_id", requester->requestID}, {"ad_url", "x"}});
            sendFromPage("saveState", {{"key", "marker"}, {"state", "1"}});
            ASSERT_TRUE(waitFor([&] {
                return core::UserDefaults::standard()
                    ->dictionaryForKey(ads::DZSDKCoreDMSGHandler::kSavedStateKey)
                    .has_value();
            }));
            ASSERT_TRUE(adwebtesting::drainMainQueue());
        }
        EXPECT_EQ(requester->events, c.events);
        clearDefaults();
    }
}

TEST_F(DZSDKCoreAdURLService, ARefreshFailsTheRequestsSentToTheOldPage) {
    serve(AdAnswer::silent);
    makeController();
    const auto requester = request();
    ASSERT_EQ(logged("DUZO_getAd").size(), 1u);
    controller->refreshActiveWebViewSDKCore();
    ASSERT_TRUE(waitFor([&] { return !requester->events.empty(); }));
    EXPECT_EQ(requester->events, std::vector<std::string>{"failed"});
}

TEST_F(DZSDKCoreAdURLService, AFetchedAdMustBeAnObject) {
    serve(AdAnswer::silent);
    makeController();
    const auto requester = request();
    ASSERT_EQ(logged("DUZO_getAd").size(), 1u);
    for (const char* fetched : {"{not json", "[1,2]", "\"text\""})
        sendFromPage("loadAd", {{"request_id", requester->requestID}, {"fetched_ad", fetched}});
    sendFromPage("loadAd", {{"request_id", requester->requestID}, {"fetched_ad", "{}"}});
    ASSERT_TRUE(waitFor([&] { return !requester->events.empty(); }));
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(requester->events, std::vector<std::string>{"ad"});
}

TEST_F(DZSDKCoreAdURLService, FetchesOnThePagesBehalfAreAnsweredOncePerRequest) {
    makeController();
    ASSERT_TRUE(loadPage());
    // Through the page's own settings call: 200 and the server's headers.
    controller->executeJavaScriptFromBlockWhenReady(
        [](const std::string&) { return std::string("DUZO_fetchAppSettings({app_id: 'a'});"); },
        nullptr);
    auto replies = logged("fetchHttpRequestCompleted");
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0]["success"], core::Value("true"));
    EXPECT_EQ(replies[0]["response"]["response_code"], core::Value(200));
    EXPECT_EQ(replies[0]["response"]["http_request_id"], core::Value("settings-1"));
    const core::Value settingsHeader(core::Dictionary{{"key", "x-settings"}, {"value", "1"}});
    const core::Array* headers = replies[0]["response"]["headers"].array();
    ASSERT_TRUE(headers);
    EXPECT_NE(std::find(headers->begin(), headers->end(), settingsHeader), headers->end());
    const auto fetched = server.requestsTo(fixtures::CorePage::kAppSettingsPath);
    ASSERT_EQ(fetched.size(), 1u);

    // A repeated id while the first runs: one fetch, one reply. Then the
    // faults: not JSON, no id, a file URL.
    const std::string same =
        core::JSON::write(core::Dictionary{{"http_request_id", "same"},
                                           {"url", server.secureBaseURL() +
                                                       fixtures::CorePage::kAppSettingsPath}})
            .value_or("");
    // The settings answer is held so that the repeated id arrives while the first runs.
    const auto gate = fixtures::ResponseGate::make();
    auto held = fixtures::LoopbackResponse::json(core::Dictionary{{"status", 1}});
    held.heldBy(gate);
    server.serve(fixtures::CorePage::kAppSettingsPath, std::move(held));
    (void)evaluate("DUZO_log.length = 0, true");
    sendFromPage("fetchHttpRequest", {{"http_request", same}});
    sendFromPage("fetchHttpRequest", {{"http_request", same}});
    sendFromPage("fetchHttpRequest", {{"http_request", "{not json"}});
    sendFromPage("fetchHttpRequest", {{"http_request", R"({"url":"https://a.test/"})"}});
    sendFromPage("fetchHttpRequest",
                 {{"http_request", R"({"http_request_id":"file","url":"file:///etc/hosts"})"}});
    // The three faults are answered once every message before them was handled.
    replies = logged("fetchHttpRequestCompleted", 3);
    ASSERT_EQ(replies.size(), 3u) << core::JSON::write(core::Value(replies)).value_or("");
    gate->release();
    replies = logged("fetchHttpRequestCompleted", 4);
    ASSERT_EQ(replies.size(), 4u) << core::JSON::write(core::Value(replies)).value_or("");
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    replies = logged("fetchHttpRequestCompleted", 4);
    ASSERT_EQ(replies.size(), 4u);
    EXPECT_EQ(server.requestsTo(fixtures::CorePage::kAppSettingsPath).size(), 2u);
    size_t same_ = 0;
    size_t anonymous = 0;
    for (const auto& reply : replies) {
        const core::Value& response = reply["response"];
        if (response["http_request_id"] == core::Value("same")) {
            ++same_;
            EXPECT_EQ(reply["success"], core::Value("true"));
        } else if (response["http_request_id"] == core::Value("")) {
            ++anonymous;
            EXPECT_EQ(reply["success"], core::Value("false"));
            EXPECT_EQ(response["response_code"], core::Value(0));
        } else if (response["http_request_id"] == core::Value("file")) {
            EXPECT_EQ(reply["success"], core::Value("false"));
            EXPECT_EQ(reply["reason"],
                      core::Value("Invalid URL (file:///etc/hosts) requested for fetching"));
        }
    }
    EXPECT_EQ(same_, 1u);
    EXPECT_EQ(anonymous, 2u);
}

TEST_F(DZSDKCoreAdURLService, AtMostEightFetchesRunAtOnceAndOneMoreFailsAtOnce) {
    makeController();
    ASSERT_TRUE(loadPage());
    const auto gate = fixtures::ResponseGate::make();
    auto held = fixtures::LoopbackResponse::json(core::Dictionary{{"status", 1}});
    held.heldBy(gate);
    server.serve(fixtures::CorePage::kAppSettingsPath, std::move(held));
    const auto fetch = [&](int id) {
        sendFromPage(
            "fetchHttpRequest",
            {{"http_request",
              core::JSON::write(core::Dictionary{{"http_request_id", std::to_string(id)},
                                                 {"url", server.secureBaseURL() +
                                                             fixtures::CorePage::kAppSettingsPath}})
                  .value_or("")}});
    };
    for (int id = 1; id <= 9; ++id) fetch(id);
    auto replies = logged("fetchHttpRequestCompleted");
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0]["success"], core::Value("false"));
    EXPECT_EQ(replies[0]["response"]["http_request_id"], core::Value("9"));
    EXPECT_EQ(replies[0]["reason"], core::Value("Too many fetches in progress (at most 8)."));
    EXPECT_EQ(page().SDKCoreDMSGHandler()->fetchCount(), 8u);

    // Once they are answered there is room again.
    gate->release();
    replies = logged("fetchHttpRequestCompleted", 9);
    ASSERT_EQ(replies.size(), 9u);
    ASSERT_TRUE(waitFor([&] { return page().SDKCoreDMSGHandler()->fetchCount() == 0; }));
    fetch(10);
    replies = logged("fetchHttpRequestCompleted", 10);
    ASSERT_EQ(replies.size(), 10u);
    EXPECT_EQ(replies[9]["success"], core::Value("true"));
    EXPECT_EQ(server.requestsTo(fixtures::CorePage::kAppSettingsPath).size(), 9u);
}

}  // namespace
