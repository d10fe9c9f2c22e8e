// The app's clients of the photo and quote services against loopback
// stand-ins.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <optional>

#include "app/services/AlamofireService.h"
#include "app/services/AppConfiguration.h"
#include "app/services/HitokotoService.h"
#include "app/services/UnsplashService.h"
#include "core/Console.h"
#include "core/JSON.h"
#include "core/RunLoop.h"
#include "fixtures/LoopbackServer.h"
#include "support/ManualClockScope.h"

namespace {

bool waitFor(const std::function<bool()>& predicate) {
    return core::RunLoop::main().runUntil(predicate, 10);
}

// Points the app's configuration at the server for one test.
class ConfigurationScope {
public:
    explicit ConfigurationScope(const fixtures::LoopbackServer& server)
        : previous_(app::AppConfiguration::current()) {
        app::AppConfiguration::set({server.baseURL(), server.baseURL(), server.baseURL() + "/?c=d"});
    }
    ~ConfigurationScope() { app::AppConfiguration::set(previous_); }

private:
    app::AppConfiguration previous_;
};

}  // namespace

TEST(UnsplashServiceService, DownloadLocationCarriesBothHeadersOnlyToTheAPIHost) {
    fixtures::LoopbackServer api;
    fixtures::LoopbackServer elsewhere;
    for (auto* server : {&api, &elsewhere})
        server->onPrefix("GET", "/photos/", [](const auto&) {
            return fixtures::LoopbackResponse::json(core::Dictionary{{"url", "https://x/full"}});
        });
    ConfigurationScope configuration(api);
    core::Console::Capture console;

    app::UnsplashService::shared().reqDownloadLocation(api.baseURL() + "/photos/a1/download?ixid=9");
    app::UnsplashService::shared().reqDownloadLocation(api.baseURL() + "/photos/a1/download?ixid=9");
    app::UnsplashService::shared().reqDownloadLocation(elsewhere.baseURL() + "/photos/b2/download");
    ASSERT_TRUE(api.waitForRequests(2, 10));
    ASSERT_TRUE(elsewhere.waitForRequests(1, 10));

    const auto sent = api.requests();
    ASSERT_EQ(sent.size(), 2u);  // nothing de-duplicates
    for (const auto& request : sent) {
        EXPECT_EQ(request.header("Authorization"), std::string("Bearer ") + app::kPhotoServiceAccessToken);
        EXPECT_EQ(request.header("Accept"), "application/json");
        EXPECT_EQ(request.rawQuery, "ixid=9");
    }
    const auto foreign = elsewhere.requests();
    EXPECT_FALSE(foreign[0].header("Authorization"));
    EXPECT_EQ(foreign[0].header("Accept"), "application/json");
    const std::string success = "reqDownloadLocation success: {\"url\":\"https:\\/\\/x\\/full\"}";
    EXPECT_TRUE(waitFor([&] {
        const auto lines = console.lines();
        return std::count(lines.begin(), lines.end(), success) == 3;
    }));
}

TEST(UnsplashServiceService, SharedSessionGivesUpAfterTenSecondsWithoutData) {
    fixtures::LoopbackServer server;
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    server.on("GET", "/photos", [&](const auto&) {
        std::unique_lock lock(mutex);
        released.wait(lock, [&] { return release; });
        return fixtures::LoopbackResponse::json(core::Array{});
    });

    testsupport::ManualClockScope clock;
    std::optional<core::HTTPResult<core::Value>> result;
    core::HTTPClient::requestJSON(app::AlamofireService::sharedSession(), server.baseURL() + "/photos",
                                  {{"page", 1}, {"per_page", 15}}, app::photoServiceHeaders(),
                                  [&](const auto& r) { result = r; });
    ASSERT_TRUE(server.waitForRequests(1, 10));
    clock.advance(9.5);
    // A second request on the session, answered at once: the network thread
    // checks the first one's time-out at 9.5 s before it finishes the
    // second, so a time-out would be delivered first.
    server.on("GET", "/probe", [](const auto&) {
        return fixtures::LoopbackResponse::json(core::Array{});
    });
    std::optional<core::HTTPResult<core::Value>> probe;
    core::HTTPClient::requestJSON(app::AlamofireService::sharedSession(), server.baseURL() + "/probe",
                                  {}, app::photoServiceHeaders(), [&](const auto& r) { probe = r; });
    ASSERT_TRUE(waitFor([&] { return probe.has_value(); }));
    EXPECT_FALSE(result);
    clock.advance(0.6);
    EXPECT_TRUE(waitFor([&] { return result.has_value(); }));
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    released.notify_all();
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->isSuccess());
    ASSERT_TRUE(result->error);
    ASSERT_TRUE(result->error->network);
    EXPECT_EQ(result->error->network->code, core::NetworkError::Code::timedOut);
    ASSERT_FALSE(server.requests().empty());
    EXPECT_EQ(server.requests()[0].rawQuery, "page=1&per_page=15");
}

TEST(HitokotoServiceQuotes, LinesBreakAfterFullWidthMarksOnly) {
    using app::HitokotoService;
    EXPECT_EQ(HitokotoService::breakLines("春眠不觉晓，处处闻啼鸟。"), "春眠不觉晓，\n处处闻啼鸟。\n");
    EXPECT_EQ(HitokotoService::breakLines("好！？"), "好！\n？\n");
    EXPECT_EQ(HitokotoService::breakLines("甲；乙"), "甲；\n乙");
    EXPECT_EQ(HitokotoService::breakLines("Hello, world. Yes!"), "Hello, world. Yes!");
}

TEST(HitokotoServiceQuotes, ModelDecodesPresentKeysAndRefusesWrongTypes) {
    auto full = app::HitokotoModel::decode(core::Value(core::Dictionary{
        {"id", 7}, {"hitokoto", "x"}, {"from_who", core::Value()}, {"extra", true}}));
    ASSERT_TRUE(full);
    EXPECT_EQ(full->id, 7);
    EXPECT_FALSE(full->from_who);
    EXPECT_FALSE(full->commit_from);
    EXPECT_EQ(full->encode(), core::Value(core::Dictionary{{"id", 7}, {"hitokoto", "x"}}));
    EXPECT_FALSE(app::HitokotoModel::decode(core::Value(core::Dictionary{{"id", "12"}})));
    EXPECT_FALSE(app::HitokotoModel::decode(core::Value(core::Dictionary{{"hitokoto", 3}})));
    EXPECT_FALSE(app::HitokotoModel::decode(core::Value(core::Array{})));
}

TEST(ServiceClientsService, EveryAnswerEndsInExactlyOneCallback) {
    const core::Dictionary quote{
        {"id", 1}, {"hitokoto", "春眠不觉晓，处处闻啼鸟。"}, {"from", "春晓"}};
    const core::Array photos{core::Dictionary{{"id", "p1"}}};
    struct Case {
        int status;
        std::string quoteBody;  // JSON text
        bool quoteSucceeds;
    };
    const std::string good = *core::JSON::write(quote);
    const std::vector<Case> cases{
        {200, good, true},
        {200, R"({"id": "1", "hitokoto": "x"})", false},
        {200, R"({"id": 2, "hitokoto": ""})", false},
        {200, "{broken", false},
        {400, good, false},
        {404, good, false},
        {500, good, false},
        {503, R"({"errors": ["busy"]})", false},
    };
    fixtures::LoopbackServer server;
    std::atomic<size_t> current{0};
    server.on("GET", "/", [&](const auto&) {
        const Case& c = cases[current.load()];
        return fixtures::LoopbackResponse::text(c.quoteBody, c.status, "application/json");
    });
    server.on("GET", "/photos", [&](const auto&) {
        return fixtures::LoopbackResponse::json(photos, cases[current.load()].status);
    });
    ConfigurationScope configuration(server);

    int quoteSuccesses = 0, quoteFailures = 0, photoSuccesses = 0, photoFailures = 0;
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        current = i;
        const Case& c = cases[i];
        const int successesBefore = quoteSuccesses;
        const int quotesBefore = quoteSuccesses + quoteFailures;
        const int photosBefore = photoSuccesses + photoFailures;
        app::HitokotoModel received;
        std::optional<int> quoteStatus;
        app::HitokotoService().requestHitokoto(
            [&](const app::HitokotoModel& model) {
                ++quoteSuccesses;
                received = model;
            },
            [&](const core::HTTPClientError& error) {
                ++quoteFailures;
                quoteStatus = error.statusCode;
            });
        // As the feeds ask for a page.
        std::optional<int> photoStatus;
        core::HTTPClient::requestJSON(app::AlamofireService::sharedSession(),
                                      app::AppConfiguration::current().photoListURL(),
                                      {{"page", 1}, {"per_page", 15}}, app::photoServiceHeaders(),
                                      [&](const core::HTTPResult<core::Value>& result) {
                                          ++(result.isSuccess() ? photoSuccesses : photoFailures);
                                          if (result.error) photoStatus = result.error->statusCode;
                                      });
        ASSERT_TRUE(waitFor([&] {
            return quoteSuccesses + quoteFailures > quotesBefore &&
                   photoSuccesses + photoFailures > photosBefore;
        }));

        EXPECT_EQ(quoteSuccesses - successesBefore, c.quoteSucceeds ? 1 : 0);
        if (c.quoteSucceeds) {
            EXPECT_EQ(received.hitokoto, "春眠不觉晓，\n处处闻啼鸟。\n");
            EXPECT_EQ(received.from, "春晓");
        }
        if (c.status >= 400) {
            EXPECT_EQ(quoteStatus, c.status);
            EXPECT_EQ(photoStatus, c.status);
        }
    }
    // Each request ended once: the counts match the cases answered.
    EXPECT_EQ(quoteSuccesses, 1);
    EXPECT_EQ(quoteFailures, static_cast<int>(cases.size()) - 1);
    EXPECT_EQ(photoSuccesses, 4);
    EXPECT_EQ(photoFailures, 4);
    ASSERT_FALSE(server.requestsTo("/").empty());
    EXPECT_EQ(server.requestsTo("/").front().rawQuery, "c=d");
}
