#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ads/foundation/DZUserAgent.h"
#include "ads/web/net/DZPinger.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"
#include "fixtures/AdServer.h"

using namespace ads;

namespace {

constexpr const char* kGroup = "test_group";

class DZPingerService : public ::testing::Test {
protected:
    void SetUp() override { clearStore(); }
    void TearDown() override {
        waitUntilIdle();
        clearStore();
    }

    static void clearStore() {
        const auto defaults = core::UserDefaults::standard();
        defaults->removeObjectForKey(DZPinger::kRetryGroupKeysKey);
        defaults->removeObjectForKey(kGroup);
        defaults->removeObjectForKey("other_group");
        defaults->removeObjectForKey("/dozuza/ads/maximum_retry_url_count");
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
            core::RunLoop::main().runUntil([&] { return pinger->pingsInFlight() == 0; }, 5));
    }

    // Sends one retry pass and waits until its answers were handled.
    void retryPass(size_t expectedRequests) {
        DZPinger::sharedInstance()->start();
        ASSERT_TRUE(server_.waitForRequestsTo("/retry", expectedRequests, 5));
        waitUntilIdle();
    }

    fixtures::AdServer server_;
};

TEST_F(DZPingerService, StoresBeforeSendingAndRemovesAfterSuccess) {
    server_.serve("/ping", fixtures::LoopbackResponse::empty(200).after(300));
    const auto pinger = DZPinger::sharedInstance();
    const std::string retry = server_.urlString("/ping?retry=1");

    pinger->pingWithRetryGroupKey(kGroup, server_.url("/ping"), retry);
    ASSERT_TRUE(server_.waitForRequestsTo("/ping", 1, 5));
    EXPECT_EQ(retryCount(retry), DZPinger::kDefaultURLRetryCount);
    const auto keys = core::UserDefaults::standard()->arrayForKey(DZPinger::kRetryGroupKeysKey);
    ASSERT_TRUE(keys);
    EXPECT_EQ(*keys, (core::Array{kGroup}));

    waitUntilIdle();
    EXPECT_FALSE(retryCount(retry));
    const auto request = server_.requestsTo("/ping").front();
    EXPECT_EQ(request.method, "GET");
    EXPECT_TRUE(request.rawQuery.empty()) << "the first attempt sends the caller's URL";
    EXPECT_EQ(request.header("User-Agent"), DZUserAgent());
}

TEST_F(DZPingerService, FailedAnswersKeepTheEntry) {
    server_.script(
        "/ping", {fixtures::LoopbackResponse::empty(500), fixtures::LoopbackResponse::empty(304)});
    const auto pinger = DZPinger::sharedInstance();
    const std::string first = server_.urlString("/ping?n=1&retry=1");
    const std::string second = server_.urlString("/ping?n=2&retry=1");

    pinger->pingWithRetryGroupKey(kGroup, server_.url("/ping?n=1"), first);
    ASSERT_TRUE(server_.waitForRequestsTo("/ping", 1, 5));
    waitUntilIdle();
    pinger->pingWithRetryGroupKey(kGroup, server_.url("/ping?n=2"), second);
    ASSERT_TRUE(server_.waitForRequestsTo("/ping", 2, 5));
    waitUntilIdle();

    EXPECT_EQ(retryCount(first), DZPinger::kDefaultURLRetryCount);
    EXPECT_EQ(retryCount(second), DZPinger::kDefaultURLRetryCount);
}

TEST_F(DZPingerService, StartAfterRelaunchSendsStoredURLs) {
    const std::string retry = server_.urlString("/retry?id=7");
    DZPinger::sharedInstance()->storeRetryURLString(retry, kGroup);
    EXPECT_EQ(retryCount(retry), DZPinger::kDefaultURLRetryCount) << "stored synchronously";

    core::UserDefaults::resetSharedInstancesForTesting();
    DZPinger::resetSharedInstanceForTesting();
    EXPECT_EQ(retryCount(retry), DZPinger::kDefaultURLRetryCount) << "persisted";

    retryPass(1);
    EXPECT_EQ(server_.requestsTo("/retry").front().rawQuery, "id=7");
    EXPECT_FALSE(retryCount(retry));
}

TEST_F(DZPingerService, RetryPassesSpendTheBudgetThenDrop) {
    server_.serve("/retry", fixtures::LoopbackResponse::empty(503));
    const std::string retry = server_.urlString("/retry");
    DZPinger::sharedInstance()->storeRetryURLString(retry, kGroup);

    for (std::int64_t pass = 1; pass <= DZPinger::kDefaultURLRetryCount; ++pass) {
        retryPass(static_cast<size_t>(pass));
        EXPECT_EQ(retryCount(retry), DZPinger::kDefaultURLRetryCount - pass);
    }
    DZPinger::sharedInstance()->start();
    DZPinger::sharedInstance()->storeRetryURLString(server_.urlString("/barrier"), "other_group");
    EXPECT_FALSE(retryCount(retry)) << "an entry without retries left is dropped";
    waitUntilIdle();
    EXPECT_EQ(server_.requestsTo("/retry").size(), size_t(DZPinger::kDefaultURLRetryCount));
}

TEST_F(DZPingerService, GroupsAreBoundedAndUnique) {
    core::UserDefaults::standard()->setInteger("/dozuza/ads/maximum_retry_url_count", 2);
    DZPinger::resetSharedInstanceForTesting();
    const auto pinger = DZPinger::sharedInstance();
    EXPECT_EQ(pinger->maximumRetryURLCount(), 2);

    pinger->storeRetryURLString(server_.urlString("/retry?a"), kGroup);
    pinger->storeRetryURLString(server_.urlString("/retry?a"), kGroup);
    pinger->storeRetryURLString(server_.urlString("/retry?b"), kGroup);
    EXPECT_EQ(group().size(), 2U);

    pinger->pingWithRetryGroupKey(kGroup, server_.url("/ping?c"), server_.urlString("/retry?c"));
    ASSERT_TRUE(server_.waitForRequestsTo("/ping", 1, 5)) << "a full group still sends";
    waitUntilIdle();
    EXPECT_EQ(group().keys(), (std::vector<std::string>{server_.urlString("/retry?a"),
                                                        server_.urlString("/retry?b")}));
}

TEST_F(DZPingerService, OnlyHTTPAndHTTPSAreStoredOrSent) {
    const auto pinger = DZPinger::sharedInstance();
    pinger->storeRetryURLString("file:///etc/passwd", kGroup);
    pinger->storeRetryURLString("javascript:alert(1)", kGroup);
    pinger->storeRetryURLString("not a url", kGroup);
    EXPECT_TRUE(group().empty());

    pinger->pingWithRetryGroupKey(kGroup, *core::URL::create("ftp://127.0.0.1/x"),
                                  server_.urlString("/retry"));
    pinger->storeRetryURLString(server_.urlString("/barrier"), "other_group");
    waitUntilIdle();
    EXPECT_EQ(retryCount(server_.urlString("/retry")), DZPinger::kDefaultURLRetryCount)
        << "the http retry form is kept for later";
    EXPECT_TRUE(server_.requests().empty());
}

}  // namespace
