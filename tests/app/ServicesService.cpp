// The app's clients of the photo and quote services against loopback
// stand-ins.

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>

#include "app/services/AlamofireService.h"
#include "app/services/AppConfiguration.h"
#include "app/services/HitokotoService.h"
#include "app/services/UnsplashService.h"
#include "core/Console.h"
#include "core/PendingWork.h"
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
    ASSERT_TRUE(result->error->network);
    EXPECT_EQ(result->error->network->code, core::NetworkError::Code::timedOut);
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

TEST(HitokotoServiceService, AnswersReachSuccessFailureOrNothing) {
    fixtures::LoopbackServer server;
    std::atomic<int> mode{0};
    server.on("GET", "/", [&](const auto&) {
        switch (mode.load()) {
            case 0:
                return fixtures::LoopbackResponse::json(core::Dictionary{
                    {"id", 1}, {"hitokoto", "春眠不觉晓，处处闻啼鸟。"}, {"from", "春晓"}});
            case 1:
                return fixtures::LoopbackResponse::json(core::Dictionary{{"id", "1"}, {"hitokoto", "x"}});
            case 2:
                return fixtures::LoopbackResponse::json(core::Dictionary{{"id", 2}, {"hitokoto", ""}});
            default:
                return fixtures::LoopbackResponse::text("{broken", 200, "application/json");
        }
    });
    ConfigurationScope configuration(server);

    auto ask = [&](int which, int& successes, int& failures, app::HitokotoModel& quote) {
        mode = which;
        const size_t before = server.requests().size();
        app::HitokotoService().requestHitokoto(
            [&](const app::HitokotoModel& model) {
                ++successes;
                quote = model;
            },
            [&](const core::HTTPClientError&) { ++failures; });
        EXPECT_TRUE(server.waitForRequests(before + 1, 10));
        // Answered, or decided to call nothing: no work left under way.
        EXPECT_TRUE(waitFor([] { return !core::PendingWork::any(); }));
    };

    int successes = 0, failures = 0;
    app::HitokotoModel quote;
    ask(0, successes, failures, quote);
    EXPECT_EQ(successes, 1);
    EXPECT_EQ(quote.hitokoto, "春眠不觉晓，\n处处闻啼鸟。\n");
    EXPECT_EQ(quote.from, "春晓");
    EXPECT_EQ(server.requests().back().rawQuery, "c=d");

    for (int which : {1, 3}) {
        successes = failures = 0;
        ask(which, successes, failures, quote);
        EXPECT_EQ(successes + failures, 0) << "mode " << which;
    }
    successes = failures = 0;
    ask(2, successes, failures, quote);
    EXPECT_EQ(successes, 0);
    EXPECT_EQ(failures, 1);
}
