#include "ads/web/net/DZURLConnection.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/foundation/DZHashing.h"
#include "core/FileManager.h"
#include "core/RunLoop.h"
#include "fixtures/AdServer.h"
#include "support/ManualClockScope.h"

namespace {

using ads::DZURLConnection;
using core::URLRequest;
using fixtures::LoopbackResponse;
using Events = std::vector<std::string>;

constexpr double kNetworkLimit = 10.0;

struct Recorder : ads::DZURLConnectionDelegate {
    Events events;
    std::optional<ads::Error> veto;
    bool useCache = false;
    std::optional<std::string> text;
    std::optional<core::URL> baseURL;
    std::optional<ads::Error> error;
    bool ended = false;

    std::optional<ads::Error> shouldRedirectToURL(DZURLConnection&, const core::URL& url) override {
        events.push_back("should-redirect " + url.path());
        return veto;
    }
    void willPerformRedirect(DZURLConnection&,
                             const ads::DZURLConnectionRedirect& redirect) override {
        events.push_back("redirect " + std::to_string(redirect.response().statusCode()) + " " +
                         redirect.request().url().path());
    }
    bool loadShouldUseCacheForResponse(DZURLConnection&,
                                       const core::HTTPURLResponse& response) override {
        events.push_back("response " + std::to_string(response.statusCode()));
        return useCache;
    }
    void loadDidReceiveCachedResponse(DZURLConnection&,
                                      const core::HTTPURLResponse& response) override {
        events.push_back("cached " + std::to_string(response.statusCode()));
    }
    void loadDidFinish(DZURLConnection&, const std::optional<std::string>& body,
                       const std::optional<core::URL>& base) override {
        events.push_back("finish");
        text = body;
        baseURL = base;
        ended = true;
    }
    void loadDidFail(DZURLConnection&, const std::optional<ads::Error>& failure,
                     int status) override {
        events.push_back("fail " + std::to_string(status));
        error = failure;
        ended = true;
    }

    void reset() {
        events.clear();
        text.reset();
        baseURL.reset();
        error.reset();
        ended = false;
    }
};

LoopbackResponse ad(std::string body, std::string cacheControl = "max-age=60") {
    auto response = LoopbackResponse::text(std::move(body), 200, "text/html; charset=utf-8");
    response.headers.set("Cache-Control", std::move(cacheControl));
    return response;
}

class DZURLConnectionService : public testing::Test {
protected:
    void SetUp() override { DZURLConnection::clearCache(); }
    void TearDown() override { DZURLConnection::clearCache(); }

    // Starts the load and waits for its end (at once when the cache answers).
    void run(const core::URL& url) {
        recorder->reset();
        ads::Error error;
        ASSERT_TRUE(connection->startWithRequestURL(URLRequest(url), recorder, &error));
        ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return recorder->ended; }, kNetworkLimit));
    }

    fixtures::AdServer server;
    std::shared_ptr<DZURLConnection> connection = std::make_shared<DZURLConnection>();
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST(DZURLConnectionTest, CacheKeysShareASlotAndOtherwiseTakeTheWholeURL) {
    const auto key = [](const char* text) {
        return DZURLConnection::cacheKeyForURL(*core::URL::create(text));
    };
    EXPECT_EQ(key("http://h/p?slotname=s%201&r=1"), key("http://h/p?r=2&slotname=s%201"));
    EXPECT_EQ(key("http://h/p?slotname=s%201"), ads::DZMD5OfString("h/ps 1"));
    EXPECT_NE(key("http://h/p?slotname=s1"), key("http://h/p?slotname=s2"));
    EXPECT_NE(key("http://h/p?slotname=s1"), key("http://h/q?slotname=s1"));
    EXPECT_EQ(key("http://h/p?r=1"), ads::DZMD5OfString("http://h/p?r=1"));
    EXPECT_NE(key("http://h/p?r=1"), key("http://h/p?r=2"));
    EXPECT_EQ(key("http://h/p").size(), 16u);

    EXPECT_EQ(DZURLConnection::defaultCachePath(),
              core::FileManager::folderPath(core::Folder::Caches) + "/VuRaz");
}

TEST_F(DZURLConnectionService, ASecondStartWhileLoadingIsRefusedNamingTheURL) {
    server.serve("/ad", ad("first"));
    const core::URL url = server.url("/ad?slotname=one");
    ASSERT_TRUE(connection->startWithRequestURL(URLRequest(url), recorder, nullptr));
    ASSERT_TRUE(connection->isInProgress());

    ads::Error error;
    EXPECT_FALSE(
        connection->startWithRequestURL(URLRequest(server.url("/other")), recorder, &error));
    EXPECT_FALSE(
        connection->startWithRequestURL(URLRequest(server.url("/other")), recorder, nullptr));
    EXPECT_EQ(error.domain, ads::kDZErrorDomain);
    EXPECT_EQ(error.code, 2);
    EXPECT_EQ(error.message, "Ignoring -- Currently loading " + url.absoluteString());

    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return recorder->ended; }, kNetworkLimit));
    EXPECT_EQ(recorder->events, (Events{"response 200", "finish"}));
    EXPECT_EQ(recorder->text, "first");
    EXPECT_FALSE(connection->isInProgress());
    EXPECT_TRUE(server.requestsTo("/other").empty());
}

TEST_F(DZURLConnectionService, OnceAllowedTheCacheAnswersAtStartAndAtTheResponse) {
    server.script("/ad", {ad("ad one"), ad("ad two")});
    recorder->useCache = true;
    run(server.url("/ad?slotname=s1&r=1"));
    EXPECT_EQ(recorder->events, (Events{"response 200", "finish"}));
    EXPECT_TRUE(connection->allowCache());

    // Another ad URL of the slot, answered before any network activity.
    run(server.url("/ad?r=2&slotname=s1"));
    EXPECT_EQ(recorder->events, (Events{"cached 200", "finish"}));
    EXPECT_EQ(recorder->text, "ad one");
    EXPECT_FALSE(connection->isInProgress());
    EXPECT_EQ(server.requestsTo("/ad").size(), 1u);

    // A new connection does not look before the response; then it does and
    // drops what the network sent.
    connection = std::make_shared<DZURLConnection>();
    run(server.url("/ad?slotname=s1&r=3"));
    EXPECT_EQ(recorder->events, (Events{"response 200", "cached 200", "finish"}));
    EXPECT_EQ(recorder->text, "ad one");
    EXPECT_FALSE(connection->isInProgress());
}

TEST_F(DZURLConnectionService, AnExpiredEntryIsRemovedAndTheLoadGoesToTheNetwork) {
    testsupport::ManualClockScope clock;
    server.script("/ad", {ad("old"), ad("fresh")});
    recorder->useCache = true;
    const core::URL url = server.url("/ad?slotname=s1");
    run(url);
    ASSERT_TRUE(connection->cachedResponseForURL(url));

    clock.advance(61);
    EXPECT_FALSE(connection->cachedResponseForURL(url));
    EXPECT_EQ(DZURLConnection::memoryCache().count(), 0u);
    run(url);
    EXPECT_EQ(recorder->events, (Events{"response 200", "finish"}));
    EXPECT_EQ(recorder->text, "fresh");
    EXPECT_EQ(server.requestsTo("/ad").size(), 2u);
}

TEST_F(DZURLConnectionService, ResponsesThatForbidReuseAreNeverStored) {
    recorder->useCache = true;
    auto pragma = ad("ad");
    pragma.headers.set("Pragma", "no-cache");
    const std::vector<std::pair<std::string, LoopbackResponse>> cases = {
        {"no-store", ad("ad", "no-store, max-age=60")},
        {"max-age=0", ad("ad", "max-age=0")},
        {"pragma", pragma},
        {"no-expiry", ad("ad", "public")},
    };
    for (const auto& [name, response] : cases) {
        SCOPED_TRACE(name);
        server.serve("/" + name, response);
        run(server.url("/" + name));
        EXPECT_EQ(recorder->text, "ad");
        EXPECT_EQ(DZURLConnection::memoryCache().count(), 0u);
    }
}

TEST_F(DZURLConnectionService, The26thStoredResponseEvictsTheOldest) {
    server.serve("/ad", ad("ad"));
    recorder->useCache = true;
    for (int slot = 1; slot <= 26; ++slot) run(server.url("/ad?slotname=" + std::to_string(slot)));
    EXPECT_EQ(DZURLConnection::memoryCache().count(), DZURLConnection::kMemoryCacheCountLimit);
    EXPECT_FALSE(connection->cachedResponseForURL(server.url("/ad?slotname=1")));
    EXPECT_TRUE(connection->cachedResponseForURL(server.url("/ad?slotname=2")));
    EXPECT_TRUE(connection->cachedResponseForURL(server.url("/ad?slotname=26")));
}

TEST_F(DZURLConnectionService, AVetoedRedirectFailsThenReportsTheRedirectAndNeverFinishes) {
    server.serve("/start", LoopbackResponse::redirect("/next"));
    server.serve("/barrier", ad("done"));
    recorder->veto = ads::DZErrorWithCodeDescription(ads::kDZErrorInvalidRequest, "not there");
    run(server.url("/start"));
    EXPECT_EQ(recorder->events, (Events{"should-redirect /next", "fail -1", "redirect 302 /next"}));
    EXPECT_EQ(recorder->error->message, "not there");
    EXPECT_FALSE(connection->isInProgress());

    // Whatever was under way has drained once a later load is through.
    auto other = std::make_shared<DZURLConnection>();
    auto barrier = std::make_shared<Recorder>();
    ASSERT_TRUE(other->startWithRequestURL(URLRequest(server.url("/barrier")), barrier, nullptr));
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return barrier->ended; }, kNetworkLimit));
    EXPECT_EQ(recorder->events.size(), 3u);
    EXPECT_TRUE(server.requestsTo("/next").empty());
}

TEST_F(DZURLConnectionService, TheBaseURLIsTheLastRedirectTargetAlsoFromTheCache) {
    server.serve("/hop1", LoopbackResponse::redirect("/hop2", 301));
    server.serve("/hop2", LoopbackResponse::redirect("/final"));
    server.serve("/final", ad("final ad"));
    recorder->useCache = true;
    run(server.url("/hop1"));
    EXPECT_EQ(recorder->events,
              (Events{"should-redirect /hop2", "redirect 301 /hop2", "should-redirect /final",
                      "redirect 302 /final", "response 200", "finish"}));
    EXPECT_EQ(recorder->baseURL, server.url("/final"));

    run(server.url("/hop1"));  // stored under the URL the load started with
    EXPECT_EQ(recorder->events, (Events{"cached 200", "finish"}));
    EXPECT_EQ(recorder->baseURL, server.url("/final"));
    EXPECT_EQ(recorder->text, "final ad");
}

TEST_F(DZURLConnectionService, ErrorStatusesAndBrokenBodiesFailWithTheLastStatus) {
    recorder->useCache = true;
    auto truncated = ad(std::string(2000, 'a'));
    truncated.closeAfter = 100;
    struct Case {
        const char* path;
        LoopbackResponse response;
        Events events;
        long code;
        std::optional<int> httpStatus;
    };
    const auto withStatus = [](LoopbackResponse response, int status) {
        response.status = status;
        return response;
    };
    const std::vector<Case> cases = {
        {"/unavailable", withStatus(ad("busy"), 503), {"response 503", "fail 503"}, 3, 503},
        {"/missing", withStatus(ad("no such ad"), 404), {"response 404", "fail 404"}, 3, 404},
        {"/truncated", truncated, {"response 200", "fail 200"}, -1005, std::nullopt},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.path);
        server.serve(test.path, test.response);
        run(server.url(test.path));
        EXPECT_EQ(recorder->events, test.events);
        ASSERT_TRUE(recorder->error);
        EXPECT_EQ(recorder->error->code, test.code);
        EXPECT_EQ(recorder->error->httpStatus, test.httpStatus);
        EXPECT_FALSE(recorder->text);
        EXPECT_EQ(DZURLConnection::memoryCache().count(), 0u);
    }
}

TEST_F(DZURLConnectionService, FileURLsAndRedirectsToThemAreRefused) {
    server.serve("/to-file", LoopbackResponse::redirect("file:///etc/passwd"));
    for (const core::URL& url : {core::URL::fileURL("/etc/passwd"), server.url("/to-file")}) {
        SCOPED_TRACE(url.absoluteString());
        run(url);
        EXPECT_EQ(recorder->events, (Events{"fail -1"}));
        EXPECT_NE(recorder->error->message.find("only http and https"), std::string::npos);
        EXPECT_FALSE(connection->isInProgress());
    }
}

}  // namespace
