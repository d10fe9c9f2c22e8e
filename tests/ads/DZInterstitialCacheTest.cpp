// The pre-load cache's bookkeeping: request keys (schema, field names,
// exclusions, allowed patterns), the least-recently-used limit on pools and
// on the saved requests, the restore at launch and the refill policy that
// follows the server constants. Pools here have depth 0, so no entry loads.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>

#include "AdWebTesting.h"
#include "ads/core/request/DZExtras.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/presentation/interstitial/cache/DZInterstitialCache.h"
#include "ads/presentation/interstitial/cache/DZInterstitialPool.h"
#include "ads/presentation/interstitial/cache/DZInterstitialPoolRefillOnDismissPolicy.h"
#include "ads/presentation/interstitial/cache/DZInterstitialPoolRefillOnPopPolicy.h"
#include "ads/presentation/interstitial/cache/DZInterstitialPoolRefillWhenIdlePolicy.h"
#include "core/Console.h"
#include "core/JSON.h"
#include "core/NotificationCenter.h"
#include "core/UserDefaults.h"
#include "ui/NetworkReachability.h"

namespace {

using ads::DZInterstitialCache;
using ads::DZRequest;

std::shared_ptr<DZRequest> request(core::Dictionary extras = {},
                                   std::optional<core::Array> keywords = std::nullopt) {
    auto made = std::make_shared<DZRequest>();
    if (!extras.empty()) made->registerAdNetworkExtras(std::make_shared<ads::DZExtras>(extras));
    made->setKeywords(std::move(keywords));
    return made;
}

template <typename T>
const std::type_info& typeOf(const std::shared_ptr<T>& pointer) {
    const T& object = *pointer;
    return typeid(object);
}

// The key of a plain request of that unit.
core::Value key(const std::string& unit) {
    return DZInterstitialCache::requestKey(request(), unit);
}

class DZInterstitialCacheTest : public testing::Test {
protected:
    void SetUp() override {
        // Keys hold the last known network type; no reachability report may
        // change it between two keys of one test.
        previousFlags = ui::NetworkReachability::setFlagsSourceForTesting(
            [](const std::string&) -> std::uint32_t { return 0; });
        constants.set(ads::DZInterstitialPool::kMaxPoolDepthKey, 0);
        core::UserDefaults::standard()->removeObjectForKey(DZInterstitialCache::kSavedRequestsKey);
    }
    void TearDown() override {
        core::UserDefaults::standard()->removeObjectForKey(DZInterstitialCache::kSavedRequestsKey);
        ui::NetworkReachability::setFlagsSourceForTesting(std::move(previousFlags));
    }
    // The saved [key, parameters] pairs' keys, oldest first.
    static std::vector<core::Value> savedKeys() {
        std::vector<core::Value> keys;
        const auto text =
            core::UserDefaults::standard()->stringForKey(DZInterstitialCache::kSavedRequestsKey);
        if (!text) return keys;
        const auto parsed = core::JSON::parse(*text);
        if (!parsed || !parsed->array()) return keys;
        for (const core::Value& pair : *parsed->array()) keys.push_back(pair[0]);
        return keys;
    }
    static void access(DZInterstitialCache& cache, const std::string& unit) {
        EXPECT_EQ(cache.cacheEntryForRequest(request(), unit), nullptr);
        cache.waitForQueue();
        cache.waitForQueue();
    }

    adwebtesting::ConstantsScope constants;
    ui::NetworkReachability::FlagsSource previousFlags;
};

TEST_F(DZInterstitialCacheTest, KeysTakeOnlyTheSchemaFieldsUnderTheirParameterNames) {
    const auto plain = DZInterstitialCache::requestKey(request({{"color", "red"}}), "unit/1");
    ASSERT_TRUE(plain.array());
    EXPECT_EQ(plain[0], core::Value("unit/1"));
    EXPECT_EQ(plain[1]["extras"], core::Value(core::Dictionary{{"color", "red"}}));
    ASSERT_TRUE(plain[1].dictionary());
    EXPECT_FALSE(plain[1].dictionary()->contains("kw"));
    // Keywords are outside the default schema: both requests share a pool.
    EXPECT_EQ(DZInterstitialCache::requestKey(request({{"color", "red"}}, core::Array{"sport"}),
                                              "unit/1"),
              plain);
    EXPECT_NE(DZInterstitialCache::requestKey(request({{"color", "blue"}}), "unit/1"), plain);
    EXPECT_NE(DZInterstitialCache::requestKey(request({{"color", "red"}}), "unit/2"), plain);

    EXPECT_TRUE(DZInterstitialCache::requestKey(request(), std::nullopt).isNull());
    // A pre-fetched ad is never pooled.
    EXPECT_TRUE(
        DZInterstitialCache::requestKey(request({{"_ad", core::Dictionary{{"ad_html", "<p>"}}}}),
                                        "unit/1")
            .isNull());

    // A server schema and map: a mapped field reads its parameter, a field
    // mapped to null reads none, an unmapped one reads its own name.
    constants.set(DZInterstitialCache::kSchemaKey,
                  core::Array{"keywords", "networkExtras", "request_agent"});
    constants.set(DZInterstitialCache::kFieldNamesKey,
                  core::Dictionary{{"keywords", "kw"}, {"networkExtras", core::Value()}});
    auto withAgent = request({}, core::Array{"sport"});
    withAgent->setRequestAgent("agent-7");
    EXPECT_EQ(DZInterstitialCache::requestKey(withAgent, "unit/1"),
              core::Value(core::Array{
                  "unit/1", core::Dictionary{{"keywords", core::Array{"sport"}},
                                             {"request_agent", "agent-7"}}}));
}

TEST_F(DZInterstitialCacheTest, ExcludedAdUnitsAreNeverPooled) {
    auto cache = DZInterstitialCache::create();
    constants.set(DZInterstitialCache::kAdUnitExclusionsKey, "^excluded/");
    EXPECT_TRUE(DZInterstitialCache::requestKey(request(), "excluded/1").isNull());
    EXPECT_EQ(cache->cacheEntryForRequest(request(), "excluded/1"), nullptr);
    cache->waitForQueue();
    EXPECT_TRUE(cache->recentlyAccessedRequestKeys().empty());
    EXPECT_EQ(cache->poolForKey(key("excluded/1")), nullptr);
    EXPECT_FALSE(DZInterstitialCache::requestKey(request(), "kept/excluded/1").isNull());
    // A pattern that does not compile excludes nothing.
    constants.set(DZInterstitialCache::kAdUnitExclusionsKey, "(");
    EXPECT_FALSE(DZInterstitialCache::requestKey(request(), "excluded/1").isNull());
}

TEST_F(DZInterstitialCacheTest, AllowedPatternsTestTheirKeyPathThroughArrays) {
    constants.set(DZInterstitialCache::kAllowedSchemaPatternsKey,
                  core::Dictionary{{"extras.member", "^a"}, {"kw", "("}});
    EXPECT_FALSE(DZInterstitialCache::requestKey(request({{"other", "b"}}), "u").isNull());
    EXPECT_TRUE(DZInterstitialCache::requestKey(request({{"member", "bcd"}}), "u").isNull());
    EXPECT_FALSE(DZInterstitialCache::requestKey(request({{"member", core::Array{"ab", "ac"}}}), "u")
                     .isNull());
    EXPECT_TRUE(DZInterstitialCache::requestKey(request({{"member", core::Array{"ab", "bc"}}}), "u")
                    .isNull());
    EXPECT_FALSE(DZInterstitialCache::requestKey(request({{"member", "abc"}}), "u").isNull());
    // Numbers are tested by their text.
    constants.set(DZInterstitialCache::kAllowedSchemaPatternsKey,
                  core::Dictionary{{"extras.level", "^4"}});
    EXPECT_FALSE(DZInterstitialCache::requestKey(request({{"level", 42}}), "u").isNull());
    EXPECT_TRUE(DZInterstitialCache::requestKey(request({{"level", 7}}), "u").isNull());
}

TEST_F(DZInterstitialCacheTest, TheLeastRecentlyUsedKeyLeavesThePoolsAndTheSavedRequests) {
    constants.set(DZInterstitialCache::kMaxPoolsKey, 3);
    auto cache = DZInterstitialCache::create();
    for (const char* unit : {"u/1", "u/2", "u/3"}) access(*cache, unit);
    access(*cache, "u/1");  // now the most recent
    access(*cache, "u/4");
    const std::vector<core::Value> expected = {key("u/3"), key("u/1"), key("u/4")};
    EXPECT_EQ(cache->recentlyAccessedRequestKeys(), expected);
    EXPECT_EQ(cache->poolForKey(key("u/2")), nullptr);
    for (const auto& kept : expected) EXPECT_NE(cache->poolForKey(kept), nullptr);
    EXPECT_EQ(savedKeys(), expected);
}

TEST_F(DZInterstitialCacheTest, ARestoreRebuildsTheMostRecentPoolsUpToTheLimit) {
    constants.set(DZInterstitialCache::kMaxPoolsKey, 3);
    {
        constants.set(DZInterstitialCache::kMaxPoolsKey, 10);
        auto first = DZInterstitialCache::create();
        for (const char* unit : {"r/1", "r/2", "r/3", "r/4"}) access(*first, unit);
        ASSERT_EQ(savedKeys().size(), 4u);
    }
    constants.set(DZInterstitialCache::kMaxPoolsKey, 3);
    auto next = DZInterstitialCache::create();
    next->loadInterstitialsForSavedRequests();
    next->waitForQueue();
    const std::vector<core::Value> expected = {key("r/2"), key("r/3"), key("r/4")};
    EXPECT_EQ(next->recentlyAccessedRequestKeys(), expected);
    EXPECT_EQ(next->poolForKey(key("r/1")), nullptr);
    const auto pool = next->poolForKey(key("r/4"));
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool->adUnitID(), "r/4");
    const auto delegate = pool->delegate();
    ASSERT_NE(delegate, nullptr);
    EXPECT_EQ(typeOf(delegate), typeid(ads::DZInterstitialPoolRefillOnPopPolicy));
    EXPECT_EQ(savedKeys(), expected);
}

TEST_F(DZInterstitialCacheTest, TheSharedCacheIsTheOneSetAndANewOneAfterItIsLetGoOf) {
    auto set = DZInterstitialCache::create();
    DZInterstitialCache::setSharedInstanceForTesting(set);
    EXPECT_EQ(DZInterstitialCache::sharedInstance(), set);
    access(*set, "s/1");
    ASSERT_EQ(savedKeys(), std::vector<core::Value>{key("s/1")});
    const std::weak_ptr<DZInterstitialCache> weakSet = set;
    const std::weak_ptr<ads::DZInterstitialPool> weakPool = set->poolForKey(key("s/1"));
    ASSERT_FALSE(weakPool.expired());

    // Let go of, it ends with its pools; the next one restores what it saved.
    DZInterstitialCache::setSharedInstanceForTesting(nullptr);
    set.reset();
    // (The pool's own queue may still hold it a moment.)
    EXPECT_TRUE(adwebtesting::waitFor([&] { return weakSet.expired() && weakPool.expired(); }));
    const auto made = DZInterstitialCache::sharedInstance();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(DZInterstitialCache::sharedInstance(), made);
    made->waitForQueue();
    EXPECT_NE(made->poolForKey(key("s/1")), nullptr);
    DZInterstitialCache::setSharedInstanceForTesting(nullptr);
}

TEST_F(DZInterstitialCacheTest, AnUnreadableSavedValueGivesNoPoolsAndSaysSo) {
    core::UserDefaults::standard()->setString(std::string(DZInterstitialCache::kSavedRequestsKey),
                                              "[[not json");
    core::Console::Capture console;
    auto cache = DZInterstitialCache::create();
    cache->loadInterstitialsForSavedRequests();
    cache->waitForQueue();
    EXPECT_TRUE(cache->recentlyAccessedRequestKeys().empty());
    EXPECT_TRUE(console.contains("cannot be read"));
}

TEST_F(DZInterstitialCacheTest, TheRefillPolicyFollowsTheServerConstants) {
    auto cache = DZInterstitialCache::create();
    access(*cache, "p/1");
    const auto pool = cache->poolForKey(key("p/1"));
    ASSERT_NE(pool, nullptr);
    const auto first = cache->poolRefillPolicy();
    EXPECT_EQ(typeOf(first), typeid(ads::DZInterstitialPoolRefillOnPopPolicy));

    constants.set(DZInterstitialCache::kRefillPolicyKey, "whenIdle");
    core::NotificationCenter::defaultCenter().post(
        ads::DZSDKCoreController::kDidUpdateConstantsNotification);
    cache->waitForQueue();
    const auto idle = cache->poolRefillPolicy();
    EXPECT_EQ(typeOf(idle), typeid(ads::DZInterstitialPoolRefillWhenIdlePolicy));
    EXPECT_EQ(pool->delegate(), idle);
    const auto group = std::dynamic_pointer_cast<ads::DZInterstitialPoolGroupRefillPolicy>(idle);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->pools(), std::vector<std::shared_ptr<ads::DZInterstitialPool>>{pool});

    // The same policy again keeps the instance; an unknown name means on-pop.
    core::NotificationCenter::defaultCenter().post(
        ads::DZSDKCoreController::kDidUpdateConstantsNotification);
    cache->waitForQueue();
    EXPECT_EQ(cache->poolRefillPolicy(), idle);
    constants.set(DZInterstitialCache::kRefillPolicyKey, "sometimes");
    cache->updateRefillPolicy();
    cache->waitForQueue();
    const auto fallback = cache->poolRefillPolicy();
    EXPECT_EQ(typeOf(fallback), typeid(ads::DZInterstitialPoolRefillOnPopPolicy));
}

}  // namespace
