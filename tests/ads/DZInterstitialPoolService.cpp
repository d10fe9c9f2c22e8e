// Pools of pre-loaded interstitials against the local ad server: each
// refill policy, expiry on the manual clock, the one "cache_rq" report of
// every entry at the server's CSI endpoint, a restore at launch, and an
// interstitial that takes a loaded or failed entry instead of asking the
// network.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "AdWebTesting.h"
#include "InterstitialTesting.h"
#include "MediationTesting.h"
#include "SlotTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZCSIConfiguration.h"
#include "ads/mediation/core/DZMAdManager.h"
#include "ads/presentation/interstitial/cache/DZInterstitialCache.h"
#include "ads/presentation/interstitial/cache/DZInterstitialCacheEntry.h"
#include "ads/presentation/interstitial/cache/DZInterstitialPool.h"
#include "ads/presentation/interstitial/cache/DZInterstitialPoolRefillWhenIdlePolicy.h"
#include "ads/video/DZVideoPlayer.h"
#include "core/NotificationCenter.h"
#include "core/UserDefaults.h"
#include "fixtures/AdServer.h"
#include "fixtures/InterstitialScenarios.h"
#include "fixtures/MediationScenarios.h"
#include "support/ManualClockScope.h"

namespace {

using ads::DZInterstitialCache;
using ads::DZInterstitialCacheEntry;
using ads::DZInterstitialPool;
using fixtures::InterstitialCreative;
using fixtures::InterstitialScenarios;

constexpr const char* kAdPath = "/mads/interstitial";
constexpr const char* kToken = "pool";
constexpr const char* kUnit = "unit/pooled";

class DZInterstitialPoolService : public testing::Test {
protected:
    void SetUp() override {
        // Slots refresh stale app settings through the shared core page;
        // these loads need none.
        ads::DZApplication::setScriptBuilderReceiverForTesting([](auto) {});
        core::UserDefaults::standard()->removeObjectForKey(DZInterstitialCache::kSavedRequestsKey);
        constants.set(ads::DZCSIConfiguration::kReportingURLKey,
                      InterstitialScenarios::csiURL(server, kToken));
        constants.set(ads::DZCSIConfiguration::kReportingProbabilityKey, 1.0);
        constants.set(DZInterstitialPool::kMaxPoolDepthKey, 2);
        // Keys without the network type: the first reachability report can
        // land mid-test and would move every request to a new pool.
        constants.set(DZInterstitialCache::kSchemaKey, core::Array{"customTargeting", "extras"});
        serve(InterstitialCreative::html);
    }
    void TearDown() override {
        ads::DZInterstitial::setCacheForTesting(nullptr);
        cache.reset();
        (void)adwebtesting::drainMainQueue();
        core::UserDefaults::standard()->removeObjectForKey(DZInterstitialCache::kSavedRequestsKey);
        ads::DZApplication::setScriptBuilderReceiverForTesting(nullptr);
    }
    void serve(InterstitialCreative creative) {
        server.serve(kAdPath, InterstitialScenarios::response(server, creative));
    }
    [[nodiscard]] std::shared_ptr<ads::DZRequest> request(const std::string& path = kAdPath) const {
        return slottesting::requestWithExtras({{"_requestUrl", server.urlString(path)}});
    }
    void makeCache(const char* policy = "onPop") {
        constants.set(DZInterstitialCache::kRefillPolicyKey, policy);
        cache = DZInterstitialCache::create();
        cache->waitForQueue();
    }
    // The pool of the request once the cache made it.
    [[nodiscard]] std::shared_ptr<DZInterstitialPool> pool(const std::string& unit = kUnit) {
        cache->waitForQueue();
        cache->waitForQueue();
        return cache->poolForKey(DZInterstitialCache::requestKey(request(), unit));
    }
    [[nodiscard]] bool settled(const std::shared_ptr<DZInterstitialPool>& pool, size_t count) {
        return adwebtesting::waitFor([&] {
            const auto entries = pool->entries();
            if (entries.size() != count) return false;
            for (const auto& entry : entries)
                if (!entry->loaded() && !entry->error()) return false;
            return true;
        });
    }
    [[nodiscard]] size_t fetches() const { return server.requestsTo(kAdPath).size(); }
    // Nothing new happens for a while (real time: pools hop across queues).
    [[nodiscard]] bool quietFor(double seconds) const {
        const size_t before = fetches();
        return !adwebtesting::waitFor([&] { return fetches() != before; }, seconds);
    }
    [[nodiscard]] std::vector<fixtures::CSIReport> reports() const {
        return InterstitialScenarios::csiReports(server, kToken, DZInterstitialCacheEntry::kCSIAction);
    }
    [[nodiscard]] bool waitForReports(size_t count) const {
        return adwebtesting::waitFor([&] { return reports().size() >= count; });
    }

    fixtures::AdServer server;
    adwebtesting::ConstantsScope constants;
    std::shared_ptr<DZInterstitialCache> cache;
};

TEST_F(DZInterstitialPoolService, OnPopFillsToDepthAndReplacesATakenEntry) {
    makeCache();
    cache->loadRequest(request(), kUnit);
    const auto held = pool();
    ASSERT_NE(held, nullptr);
    ASSERT_TRUE(settled(held, 2));
    EXPECT_EQ(fetches(), 2u);
    for (const auto& fetch : server.requestsTo(kAdPath)) EXPECT_EQ(fetch.method, "GET");

    auto taken = cache->cacheEntryForRequest(request(), kUnit);
    ASSERT_NE(taken, nullptr);
    EXPECT_TRUE(taken->loaded());
    ASSERT_TRUE(adwebtesting::waitFor([&] { return fetches() == 3; }));
    ASSERT_TRUE(settled(held, 2));
    EXPECT_TRUE(quietFor(0.3));

    taken->slotDidMoveToPlacement();
    ASSERT_TRUE(waitForReports(1));
    const auto report = reports().front();
    EXPECT_TRUE(report.timings.contains("cache:load"));
    EXPECT_TRUE(report.timings.contains("cache:pop"));
    EXPECT_FALSE(report.timings.contains("cache:discard"));
    EXPECT_FALSE(report.timings.contains("cache:fail"));
    EXPECT_TRUE(report.sdkVersion.has_value());
    // Its end sends nothing more.
    taken.reset();
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_FALSE(adwebtesting::waitFor([&] { return reports().size() > 1; }, 0.5));
}

TEST_F(DZInterstitialPoolService, OnDismissWaitsForAFullScreenDismissal) {
    // What the server had been asked for at each dismissal. A presentation
    // an earlier test left may end during this one: any dismissal counts.
    std::vector<size_t> fetchedAtDismissal;
    auto& center = core::NotificationCenter::defaultCenter();
    const auto observer =
        center.addObserver(ads::DZSlot::kDidDismissFullScreenNotification, nullptr, nullptr,
                           [&](const core::Notification&) {
                               fetchedAtDismissal.push_back(fetches());
                           });
    makeCache("onDismiss");
    cache->loadRequest(request(), kUnit);
    const auto held = pool();
    ASSERT_NE(held, nullptr);
    const bool quiet = quietFor(0.5);
    if (fetchedAtDismissal.empty()) {
        EXPECT_TRUE(quiet);
        EXPECT_TRUE(held->entries().empty());
    }
    center.post(ads::DZSlot::kDidDismissFullScreenNotification);
    ASSERT_TRUE(settled(held, 2));
    EXPECT_EQ(fetches(), 2u);
    center.removeObserver(observer);
    ASSERT_FALSE(fetchedAtDismissal.empty());
    EXPECT_EQ(fetchedAtDismissal.front(), 0u) << "a fetch before any dismissal";
}

TEST_F(DZInterstitialPoolService, WhenIdleWaitsForNoRequestsAndNoBufferingPlayer) {
    constants.set(DZInterstitialPool::kMaxPoolDepthKey, 1);
    makeCache("whenIdle");
    const auto application = ads::DZApplication::sharedInstance();
    const int requester = 0;
    application->requesterWillBeginRequest(&requester);
    const int player = 0;
    core::NotificationCenter::defaultCenter().post(ads::DZVideoPlayer::WillStartBufferingNotification,
                                                   &player);
    cache->loadRequest(request(), kUnit);
    const auto held = pool();
    ASSERT_NE(held, nullptr);
    EXPECT_TRUE(quietFor(0.5));

    // No request in flight, but a player still buffers.
    application->requesterDidEndRequest(&requester);
    EXPECT_TRUE(quietFor(0.5));
    EXPECT_TRUE(held->entries().empty());

    core::NotificationCenter::defaultCenter().post(ads::DZVideoPlayer::DidStopBufferingNotification,
                                                   &player);
    ASSERT_TRUE(settled(held, 1));
    EXPECT_EQ(fetches(), 1u);
}

TEST_F(DZInterstitialPoolService, EntriesExpireAfterTheTimeLimitButNeverWithLimitZero) {
    testsupport::ManualClockScope clock;
    constants.set(DZInterstitialPool::kMaxPoolDepthKey, 1);
    constants.set(DZInterstitialPool::kTimeLimitKey, 0);
    makeCache();
    cache->loadRequest(request(), kUnit);
    const auto held = pool();
    ASSERT_TRUE(settled(held, 1));
    const auto first = held->entries().front();
    clock.advance(100000);
    EXPECT_TRUE(quietFor(0.3));
    EXPECT_EQ(held->entries(), std::vector{first});

    // A new entry under a limit: it expires, reports its discard, and the
    // on-pop policy loads a replacement.
    constants.set(DZInterstitialPool::kTimeLimitKey, 30);
    cache->loadRequest(request(), "unit/expiring");
    const auto expiring = pool("unit/expiring");
    ASSERT_NE(expiring, nullptr);
    ASSERT_TRUE(settled(expiring, 1));
    const std::weak_ptr<DZInterstitialCacheEntry> watched = expiring->entries().front();
    clock.advance(29);
    EXPECT_TRUE(quietFor(0.3));
    EXPECT_FALSE(watched.expired());
    clock.advance(2);
    ASSERT_TRUE(adwebtesting::waitFor([&] { return watched.expired(); }));
    ASSERT_TRUE(waitForReports(1));
    // (Its load took no time on the manual clock, which a report leaves out.)
    const auto report = reports().front();
    EXPECT_TRUE(report.timings.contains("cache:discard"));
    EXPECT_FALSE(report.timings.contains("cache:pop"));
    EXPECT_FALSE(report.timings.contains("cache:fail"));
    ASSERT_TRUE(settled(expiring, 1));
    EXPECT_NE(expiring->entries().front(), nullptr);
}

TEST_F(DZInterstitialPoolService, ARestartRebuildsAtMostMaxPoolsThatStartFilling) {
    constants.set(DZInterstitialPool::kMaxPoolDepthKey, 0);
    constants.set(DZInterstitialCache::kMaxPoolsKey, 10);
    makeCache();
    for (const char* unit : {"saved/1", "saved/2", "saved/3", "saved/4"}) {
        cache->loadRequest(request(), unit);
        (void)pool(unit);
    }
    // The cache saves from its own queue: the next launch reads what it saved.
    ASSERT_TRUE(adwebtesting::waitFor([] {
        const auto saved = core::UserDefaults::standard()->stringForKey(
            std::string(DZInterstitialCache::kSavedRequestsKey));
        return saved && (saved->find("saved/4") != std::string::npos ||
                         saved->find("saved\\/4") != std::string::npos);
    }));
    cache.reset();
    ASSERT_TRUE(adwebtesting::drainMainQueue());

    constants.set(DZInterstitialCache::kMaxPoolsKey, 3);
    constants.set(DZInterstitialPool::kMaxPoolDepthKey, 1);
    cache = DZInterstitialCache::create();
    cache->loadInterstitialsForSavedRequests();
    ASSERT_TRUE(adwebtesting::waitFor([&] { return fetches() == 3; }));
    EXPECT_EQ(pool("saved/1"), nullptr);
    for (const char* unit : {"saved/2", "saved/3", "saved/4"}) {
        const auto restored = pool(unit);
        ASSERT_NE(restored, nullptr) << unit;
        EXPECT_TRUE(settled(restored, 1)) << unit;
    }
    EXPECT_TRUE(quietFor(0.3));
}

class DZInterstitialFromPoolService : public DZInterstitialPoolService {
protected:
    void SetUp() override {
        DZInterstitialPoolService::SetUp();
        constants.set(DZInterstitialCache::kEnabledKey, "YES");
        constants.set(DZInterstitialPool::kMaxPoolDepthKey, 1);
        makeCache();
        ads::DZInterstitial::setCacheForTesting(cache);
        interstitial->setDelegate(delegate);
    }
    // Primes the pool and waits for its entry.
    void prime() {
        cache->loadRequest(request(), kUnit);
        const auto held = pool();
        ASSERT_NE(held, nullptr);
        ASSERT_TRUE(settled(held, 1));
    }

    interstitialtesting::PresenterScope presenters;
    std::shared_ptr<interstitialtesting::RecordingDelegate> delegate =
        std::make_shared<interstitialtesting::RecordingDelegate>();
    std::shared_ptr<ads::DZInterstitial> interstitial = ads::DZInterstitial::create(kUnit);
};

TEST_F(DZInterstitialFromPoolService, ALoadedEntryIsReceivedWithoutAskingTheNetwork) {
    prime();
    const size_t before = fetches();
    interstitial->loadRequest(request());
    ASSERT_TRUE(adwebtesting::waitFor([&] { return !delegate->events.empty(); }));
    EXPECT_EQ(delegate->events, std::vector<std::string>{"receive"});
    EXPECT_TRUE(interstitial->isReady());
    ASSERT_NE(interstitial->slot(), nullptr);
    EXPECT_EQ(interstitial->slot()->loadingRequest()->origin(), std::optional<std::string>("cache"));
    // The pool's replacement is the only fetch after the take.
    ASSERT_TRUE(adwebtesting::waitFor([&] { return fetches() == before + 1; }));
    // The taken entry's report says it was popped (whatever else the pool
    // reported meanwhile).
    EXPECT_TRUE(adwebtesting::waitFor([&] {
        const auto sent = reports();
        return std::any_of(sent.begin(), sent.end(), [](const fixtures::CSIReport& report) {
            return report.timings.contains("cache:pop");
        });
    })) << reports().size() << " reports";

    interstitial->presentFromRootViewController(std::make_shared<ui::ViewController>());
    EXPECT_TRUE(interstitial->hasBeenUsed());
}

TEST_F(DZInterstitialFromPoolService, ARefusedPresentationPingsNoImpressionAndALaterOneDoes) {
    prime();
    interstitial->loadRequest(request());
    ASSERT_TRUE(adwebtesting::waitFor([&] { return !delegate->events.empty(); }));
    ASSERT_TRUE(interstitial->isReady());
    const auto root = std::make_shared<ui::ViewController>();
    presenters.last->accept = false;
    interstitial->presentFromRootViewController(root);
    EXPECT_FALSE(adwebtesting::waitFor(
        [&] { return !server.requestsTo(InterstitialScenarios::kImpressionPath).empty(); }, 1));
    EXPECT_FALSE(interstitial->hasBeenUsed());

    presenters.last->accept = true;
    interstitial->presentFromRootViewController(root);
    EXPECT_TRUE(adwebtesting::waitFor(
        [&] { return !server.requestsTo(InterstitialScenarios::kImpressionPath).empty(); }));
    EXPECT_EQ(presenters.last->presentedFrom, std::vector{root});
}

TEST_F(DZInterstitialFromPoolService, AFailedEntryReportsItsFailureAtOnce) {
    serve(InterstitialCreative::failing);
    prime();
    ASSERT_FALSE(pool()->entries().empty());
    ASSERT_TRUE(pool()->entries().front()->error());
    const size_t before = fetches();
    interstitial->loadRequest(request());
    ASSERT_TRUE(adwebtesting::waitFor([&] { return !delegate->events.empty(); }));
    EXPECT_EQ(delegate->events.front().rfind("fail ", 0), 0u);
    ASSERT_TRUE(waitForReports(1));
    const auto report = reports().front();
    EXPECT_TRUE(report.timings.contains("cache:fail"));
    EXPECT_TRUE(report.timings.contains("cache:pop"));
    EXPECT_FALSE(report.timings.contains("cache:load"));
    EXPECT_LE(fetches(), before + 1);
}

TEST_F(DZInterstitialFromPoolService, AnEmptyPoolLoadsFromTheNetwork) {
    auto other = ads::DZInterstitial::create("unit/unpooled");
    other->setDelegate(delegate);
    other->loadRequest(request());
    ASSERT_TRUE(adwebtesting::waitFor([&] {
        return std::find(delegate->events.begin(), delegate->events.end(), "receive") !=
               delegate->events.end();
    }));
    EXPECT_EQ(other->slot()->loadingRequest()->origin(), std::optional<std::string>("pub"));
    // The access made a pool for the key, which fills for the next load.
    ASSERT_NE(pool("unit/unpooled"), nullptr);
}

TEST_F(DZInterstitialFromPoolService, AWaterfallStillRunningWhenTakenGoesOnForTheInterstitial) {
    using mediationtesting::ScriptedAdapter;
    mediationtesting::registerTestClasses();
    // A never answers and times out; B, the next network, fills.
    server.serve(
        kAdPath,
        fixtures::MediationScenarios::response(core::Dictionary{
            {"settings",
             core::Dictionary{{"ad_network_timeout_millis", 3000}, {"nofill_urls", core::Array{}}}},
            {"qdata", "q-pool"},
            {"ad_networks", core::Array{mediationtesting::scriptedNetwork("A", "silent"),
                                        mediationtesting::scriptedNetwork("B", "fill")}}}));
    cache->loadRequest(request(), kUnit);
    const auto held = pool();
    ASSERT_NE(held, nullptr);
    ASSERT_TRUE(adwebtesting::waitFor([] { return ScriptedAdapter::forNetwork("A") != nullptr; }));
    ASSERT_EQ(held->entries().size(), 1u);
    ASSERT_FALSE(held->entries().front()->loaded());
    auto taken = held->entries().front();

    // Taken while A is being asked; the pool lets go of the entry.
    interstitial->loadRequest(request());
    ASSERT_TRUE(adwebtesting::waitFor([&] { return interstitial->slot() == taken->slot(); }));
    taken.reset();
    ASSERT_TRUE(adwebtesting::waitFor([&] { return !delegate->events.empty(); }, 10));
    EXPECT_EQ(delegate->events, std::vector<std::string>{"receive"});
    EXPECT_TRUE(interstitial->isReady());
    const auto& received = interstitial->slot()->mediationManager()->receivedConnector();
    ASSERT_TRUE(received);
    EXPECT_EQ(received->networkConfig()->networkID(), "B");
    ScriptedAdapter::made().clear();
}

}  // namespace
