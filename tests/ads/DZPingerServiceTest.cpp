#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ads/foundation/DZScheduler.h"
#include "ads/foundation/DZUserAgent.h"
#include "ads/web/net/DZPinger.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"
#include "fixtures/AdServer.h"
#include "support/ManualClockScope.h"

using namespace ads;
using fixtures::LoopbackResponse;

namespace {

constexpr const char* kGroup = "test_group";
constexpr double kLimit = 10;

// The direct transport: every URL here is http, which would otherwise go
// through the web-view pinger (its own tests cover that road).
class DZPingerService : public ::testing::Test {
protected:
    void SetUp() override {
        clearStore();
        core::UserDefaults::standard()->setBool(std::string(DZPinger::kEnableWebViewPingsKey),
                                                false);
    }
    void TearDown() override {
        waitUntilIdle();
        clearStore();
    }

    static void clearStore() {
        const auto defaults = core::UserDefaults::standard();
        for (std::string_view key :
             {DZPinger::kRetryGroupKeysKey, std::string_view(kGroup),
              std::string_view("other_group"),
              std::string_view("/dozuza/ads/maximum_retry_url_count"), DZPinger::kPingIntervalKey,
              DZPinger::kFirstPingIntervalKey, DZPinger::kEnableWebViewPingsKey}) {
            defaults->removeObjectForKey(key);
        }
        DZPinger::resetSharedInstanceForTesting();
    }

    static core::Dictionary group(const std::string& key = kGroup) {
        return core::UserDefaults::standard()->dictionaryForKey(key).value_or(core::Dictionary{});
    }

    static std::optional<std::int64_t> retryCount(const std::string& urlString) {
        const core::Dictionary stored = group();
        const core::Value* entry = stored.find(urlString);
        if (!entry) return std::nullopt;
        return (*entry)[DZPinger::kRetryCountKey].intValue();
    }

    static void waitUntilIdle() {
        const auto pinger = DZPinger::sharedInstance();
        ASSERT_TRUE(
            core::RunLoop::main().runUntil([&] { return pinger->pingsInFlight() == 0; }, kLimit));
    }

    // One retry pass; waits until its pings were answered and handled.
    void retryPass(size_t expectedRequests) {
        DZPinger::sharedInstance()->pingRetryURLs();
        ASSERT_TRUE(server_.waitForRequestsTo("/retry", expectedRequests, kLimit));
        waitUntilIdle();
    }

    static void startAndWaitForTheScheduler() {
        const auto pinger = DZPinger::sharedInstance();
        pinger->start();
        ASSERT_TRUE(core::RunLoop::main().runUntil(
            [&] { return pinger->scheduler() && pinger->scheduler()->isStarted(); }, kLimit));
    }

    // A plain ping's outcome.
    static std::optional<bool> ping(const std::string& urlString) {
        std::optional<bool> outcome;
        DZPinger::sharedInstance()->pingURLString(urlString, core::Queue::main(),
                                                  [&](bool success) { outcome = success; });
        EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return outcome.has_value(); }, kLimit));
        return outcome;
    }

    fixtures::AdServer server_;
};

}  // namespace

TEST_F(DZPingerService, StoresBeforeSendingAndRemovesAfterSuccess) {
    server_.serve("/ping", LoopbackResponse::empty(200).after(300));
    const auto pinger = DZPinger::sharedInstance();
    const std::string retry = server_.urlString("/ping?retry=1");

    pinger->pingWithRetryGroupKey(kGroup, server_.url("/ping"), retry);
    ASSERT_TRUE(server_.waitForRequestsTo("/ping", 1, kLimit));
    EXPECT_EQ(retryCount(retry), DZPinger::kDefaultURLRetryCount);
    const auto keys = core::UserDefaults::standard()->arrayForKey(DZPinger::kRetryGroupKeysKey);
    ASSERT_TRUE(keys);
    EXPECT_EQ(*keys, (core::Array{kGroup}));

    waitUntilIdle();
    EXPECT_FALSE(retryCount(retry));
    ASSERT_FALSE(server_.requestsTo("/ping").empty());
    const auto request = server_.requestsTo("/ping").front();
    EXPECT_EQ(request.method, "GET");
    EXPECT_TRUE(request.rawQuery.empty()) << "the first attempt sends the caller's URL";
    EXPECT_EQ(request.header("User-Agent"), DZUserAgent());
}

TEST_F(DZPingerService, OnlyA2xxAfterRedirectsSucceeds) {
    server_.serve("/ok", LoopbackResponse::empty(200));
    server_.serve("/moved", LoopbackResponse::redirect(server_.urlString("/ok")));
    server_.serve("/not-modified", LoopbackResponse::empty(304));
    server_.serve("/missing", LoopbackResponse::empty(404));
    server_.serve("/broken", LoopbackResponse::empty(500));
    const std::pair<const char*, bool> cases[] = {{"/ok", true},
                                                  {"/moved", true},
                                                  {"/not-modified", false},
                                                  {"/missing", false},
                                                  {"/broken", false}};
    for (const auto& [path, success] : cases) {
        EXPECT_EQ(ping(server_.urlString(path)), success) << path;
    }
    EXPECT_EQ(ping("http://127.0.0.1:9/refused"), false);
    EXPECT_EQ(server_.requestsTo("/ok").size(), 2u);
}

TEST_F(DZPingerService, OtherSchemesFailAtOnceAndAreNeverStored) {
    const auto pinger = DZPinger::sharedInstance();
    for (const char* text :
         {"file:///etc/passwd", "FILE:///etc/passwd", "javascript:alert(1)", "JavaScript:alert(1)",
          "data:text/html,hi", "ftp://127.0.0.1/x", "not a url", ""}) {
        EXPECT_EQ(ping(text), false) << text;
        pinger->storeRetryURLString(text, kGroup);
    }
    EXPECT_EQ(pinger->pingsInFlight(), 0u) << "nothing was handed to a transport";
    EXPECT_TRUE(group().empty());

    // An entry of another scheme that is on disk already is dropped unsent.
    core::UserDefaults::standard()->setObject(
        kGroup, core::Dictionary{{"javascript:alert(1)",
                                  core::Dictionary{{std::string(DZPinger::kRetryCountKey), 3}}}});
    core::UserDefaults::standard()->setObject(std::string(DZPinger::kRetryGroupKeysKey),
                                              core::Array{kGroup});
    pinger->pingRetryURLs();
    EXPECT_EQ(pinger->pingsInFlight(), 0u);
    EXPECT_TRUE(group().empty());

    pinger->pingWithRetryGroupKey(kGroup, *core::URL::create("ftp://127.0.0.1/x"),
                                  server_.urlString("/retry"));
    pinger->storeRetryURLString(server_.urlString("/barrier"), "other_group");
    EXPECT_EQ(retryCount(server_.urlString("/retry")), DZPinger::kDefaultURLRetryCount)
        << "the http retry form is kept for later";
    EXPECT_TRUE(server_.requests().empty());
}

TEST_F(DZPingerService, AFullGroupStillSendsAndARecordedURLKeepsItsCount) {
    server_.serve("/retry", LoopbackResponse::empty(503));
    server_.serve("/ping", LoopbackResponse::empty(503));
    const auto pinger = DZPinger::sharedInstance();
    EXPECT_EQ(pinger->maximumRetryURLCount(), DZPinger::kDefaultMaximumRetryURLCount);
    const std::string first = server_.urlString("/retry?n=0");
    pinger->storeRetryURLString(first, kGroup);
    retryPass(1);
    pinger->storeRetryURLString(first, kGroup);
    EXPECT_EQ(retryCount(first), DZPinger::kDefaultURLRetryCount - 1) << "one entry, count kept";

    for (int n = 1; n < DZPinger::kDefaultMaximumRetryURLCount; ++n)
        pinger->storeRetryURLString(server_.urlString("/retry?n=" + std::to_string(n)), kGroup);
    ASSERT_EQ(group().size(), size_t(DZPinger::kDefaultMaximumRetryURLCount));

    pinger->pingWithRetryGroupKey(kGroup, server_.url("/ping?n=11"),
                                  server_.urlString("/retry?n=11"));
    ASSERT_TRUE(server_.waitForRequestsTo("/ping", 1, kLimit)) << "the 11th is still sent";
    waitUntilIdle();
    EXPECT_EQ(group().size(), size_t(DZPinger::kDefaultMaximumRetryURLCount));
    EXPECT_FALSE(retryCount(server_.urlString("/retry?n=11")));
}

TEST_F(DZPingerService, ARetryPassLeavesPingsInFlightAlone) {
    server_.serve("/ping", LoopbackResponse::empty(500).after(300));
    const auto pinger = DZPinger::sharedInstance();
    const std::string url = server_.urlString("/ping");
    pinger->pingWithRetryGroupKey(kGroup, server_.url("/ping"), url);
    ASSERT_TRUE(server_.waitForRequestsTo("/ping", 1, kLimit));
    pinger->pingRetryURLs();
    ASSERT_EQ(pinger->pingsInFlight(), 1u) << "the pass ran while the first attempt was out";
    waitUntilIdle();
    EXPECT_EQ(retryCount(url), DZPinger::kDefaultURLRetryCount);
    EXPECT_EQ(server_.requestsTo("/ping").size(), 1u);
}

TEST_F(DZPingerService, RetriesAreSpentAcrossRestartsThenTheEntryIsDropped) {
    server_.serve("/retry", LoopbackResponse::empty(503));
    const std::string retry = server_.urlString("/retry?id=7");
    DZPinger::sharedInstance()->storeRetryURLString(retry, kGroup);
    for (std::int64_t pass = 1; pass <= DZPinger::kDefaultURLRetryCount + 1; ++pass) {
        // A new launch: the store and the pinger are read from disk again.
        ASSERT_TRUE(core::UserDefaults::standard()->synchronize());
        core::UserDefaults::resetSharedInstancesForTesting();
        DZPinger::resetSharedInstanceForTesting();
        EXPECT_EQ(retryCount(retry), DZPinger::kDefaultURLRetryCount - pass + 1);
        if (pass <= DZPinger::kDefaultURLRetryCount) {
            retryPass(static_cast<size_t>(pass));
            ASSERT_FALSE(server_.requestsTo("/retry").empty());
            EXPECT_EQ(server_.requestsTo("/retry").back().rawQuery, "id=7");
        } else {
            DZPinger::sharedInstance()->pingRetryURLs();
            waitUntilIdle();
        }
    }
    EXPECT_FALSE(retryCount(retry)) << "the pass after the last retry removes it";
    EXPECT_EQ(server_.requestsTo("/retry").size(), size_t(DZPinger::kDefaultURLRetryCount));
}

TEST_F(DZPingerService, PassesFollowTheScheduleOnTheClock) {
    testsupport::ManualClockScope clock;
    server_.serve("/retry", LoopbackResponse::empty(503));
    const std::string retry = server_.urlString("/retry");
    const auto pinger = DZPinger::sharedInstance();
    pinger->storeRetryURLString(retry, kGroup);
    startAndWaitForTheScheduler();

    // At 3 s, 60 s and 120 s: one retry each.
    const double steps[] = {3, 57, 60};
    for (size_t pass = 1; pass <= 3; ++pass) {
        clock.advance(steps[pass - 1]);
        ASSERT_TRUE(server_.waitForRequestsTo("/retry", pass, kLimit)) << pass;
        waitUntilIdle();
        EXPECT_EQ(retryCount(retry), DZPinger::kDefaultURLRetryCount - std::int64_t(pass));
    }
    pinger->start();  // a second start keeps the one scheduler
    EXPECT_EQ(pinger->scheduler()->taskCount(), 1u);
}

TEST_F(DZPingerService, AFirstIntervalAsLongAsThePingIntervalMakesNoEarlyPass) {
    testsupport::ManualClockScope clock;
    core::UserDefaults::standard()->setString(std::string(DZPinger::kFirstPingIntervalKey), "60");
    server_.serve("/retry", LoopbackResponse::empty(503));
    const std::string retry = server_.urlString("/retry");
    const auto pinger = DZPinger::sharedInstance();
    pinger->storeRetryURLString(retry, kGroup);
    startAndWaitForTheScheduler();
    clock.advance(60);
    ASSERT_TRUE(server_.waitForRequestsTo("/retry", 1, kLimit));
    waitUntilIdle();
    EXPECT_EQ(retryCount(retry), DZPinger::kDefaultURLRetryCount - 1) << "one pass only";
    EXPECT_EQ(server_.requestsTo("/retry").size(), 1u);
}

TEST_F(DZPingerService, UnusableIntervalsTakeTheDefaults) {
    for (const char* stored : {"0", "-5", "nan", "inf", "soon"}) {
        DZPinger::resetSharedInstanceForTesting();
        core::UserDefaults::standard()->setString(std::string(DZPinger::kPingIntervalKey), stored);
        const auto pinger = DZPinger::sharedInstance();
        pinger->start();
        ASSERT_TRUE(
            core::RunLoop::main().runUntil([&] { return pinger->scheduler() != nullptr; }, kLimit));
        EXPECT_NE(pinger->scheduler()->description().find("60.000000 interval"), std::string::npos)
            << stored;
    }
}

TEST_F(DZPingerService, TheDefaultsAreThreeRetriesAndTenEntriesAGroup) {
    server_.serve("/ping", LoopbackResponse::empty(503));
    server_.serve("/retry", LoopbackResponse::empty(503));
    const auto pinger = DZPinger::sharedInstance();
    EXPECT_EQ(pinger->maximumRetryURLCount(), 10);
    for (int n = 0; n < 11; ++n)
        pinger->storeRetryURLString(server_.urlString("/retry?n=" + std::to_string(n)), kGroup);
    EXPECT_EQ(group().size(), 10u);
    EXPECT_FALSE(retryCount(server_.urlString("/retry?n=10")));
    core::UserDefaults::standard()->removeObjectForKey(kGroup);

    // One request, then three retries; the pass after the third drops it.
    const std::string retry = server_.urlString("/retry?id=1");
    pinger->pingWithRetryGroupKey(kGroup, server_.url("/ping"), retry);
    ASSERT_TRUE(server_.waitForRequestsTo("/ping", 1, kLimit));
    waitUntilIdle();
    EXPECT_EQ(retryCount(retry), 3);
    for (size_t pass = 1; pass <= 3; ++pass) {
        retryPass(pass);
        EXPECT_EQ(retryCount(retry), std::int64_t(3 - pass));
    }
    pinger->pingRetryURLs();
    waitUntilIdle();
    EXPECT_FALSE(retryCount(retry));
    EXPECT_EQ(server_.requestsTo("/ping").size(), 1u);
    EXPECT_EQ(server_.requestsTo("/retry").size(), 3u);
}

TEST_F(DZPingerService, APassTrustsNoStoredGroupAndTouchesOnlyRetryEntries) {
    server_.serve("/retry", LoopbackResponse::empty(503));
    const auto defaults = core::UserDefaults::standard();
    // A group as a broken or hostile store may hold it: far over the limit,
    // with counts far over the retry count.
    core::Dictionary flooded;
    for (int n = 0; n < 5000; ++n)
        flooded.set(server_.urlString("/retry?n=" + std::to_string(n)),
                    core::Dictionary{{std::string(DZPinger::kRetryCountKey), 1000000}});
    defaults->setObject(kGroup, std::move(flooded));
    // Another store's dictionary under a listed key.
    const core::Dictionary foreign{{"version", 1}, {"page", "state"}};
    defaults->setObject("other_group", foreign);
    defaults->setObject(std::string(DZPinger::kRetryGroupKeysKey),
                        core::Array{kGroup, "other_group"});

    retryPass(10);
    EXPECT_EQ(server_.requestsTo("/retry").size(), 10u);
    const core::Dictionary kept = group();
    EXPECT_EQ(kept.size(), 10u);
    for (const auto& [url, entry] : kept) EXPECT_EQ(entry[DZPinger::kRetryCountKey].intValue(), 2);
    EXPECT_TRUE(retryCount(server_.urlString("/retry?n=9")));
    EXPECT_EQ(group("other_group"), foreign);
}

TEST(DZPinger, APassPlanKeepsForeignValuesAndEntriesInFlight) {
    const std::string counted(DZPinger::kRetryCountKey);
    const core::Dictionary stored{
        {"https://a.test/1", core::Dictionary{{counted, 5}}},
        {"note", "not an entry"},
        {"https://a.test/2", core::Dictionary{{counted, 9}, {"extra", 1}}},
        {"https://a.test/3", core::Dictionary{}},
        {"ftp://a.test/4", core::Dictionary{{counted, 2}}},
        {"https://a.test/5", core::Dictionary{{counted, 1}}},
    };
    const auto pass = DZPinger::planRetryPass(
        stored, 2, 3, [](const std::string& url) { return url == "https://a.test/2"; });
    EXPECT_TRUE(pass.touched);
    EXPECT_EQ(pass.sends, std::vector<std::string>{"https://a.test/1"});
    EXPECT_EQ(pass.group, (core::Dictionary{
                              {"https://a.test/1", core::Dictionary{{counted, 2}}},
                              {"note", "not an entry"},
                              {"https://a.test/2", core::Dictionary{{counted, 9}, {"extra", 1}}}}))
        << "the limit of 2 is reached by the entry in flight";

    const auto untouched =
        DZPinger::planRetryPass(core::Dictionary{{"version", 1}, {"k", "s"}}, 10, 3, nullptr);
    EXPECT_FALSE(untouched.touched);
    EXPECT_TRUE(untouched.sends.empty());
}
