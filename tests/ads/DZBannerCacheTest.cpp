// The banner cache: keys that count a banner's size but not its position,
// the limits on pools and on slots per pool, and the two generations of
// pools that a change of screen shifts.

#include "ads/core/slot/DZBannerCache.h"

#include <mutex>

#include "SlotTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZStatisticDictionary.h"
#include "core/UserDefaults.h"
#include "ui/ViewController.h"

namespace {

using namespace slottesting;
using ads::DZBannerCache;
using ads::DZSlot;

// A banner view as the cache sees it, with its own loaded slot.
class FakeBannerView : public ads::DZBannerCacheView {
public:
    FakeBannerView(std::shared_ptr<ui::ViewController> root, core::Dictionary parameters)
        : root_(std::move(root)), parameters_(std::move(parameters)) {
        slot_ = bannerSlot(*owner_);
    }
    std::optional<std::string> adUnitID() const override { return "unit/1"; }
    std::shared_ptr<ui::ViewController> rootViewController() const override { return root_; }
    std::shared_ptr<DZSlot> slot() const override { return slot_; }
    // Its own parameters, or, once asked to, its slot's (as a banner view's
    // are).
    core::Dictionary
    requestParametersForRequest(const std::shared_ptr<ads::DZRequest>& request) const override {
        return fromSlot_ ? slot_->requestParametersForRequest(request) : parameters_;
    }
    void takeParametersFromSlot() { fromSlot_ = true; }
    std::optional<core::Dictionary> bannerKey() const override {
        const std::lock_guard lock(mutex_);
        return key_;
    }
    void setBannerKey(std::optional<core::Dictionary> key) override {
        const std::lock_guard lock(mutex_);
        key_ = std::move(key);
    }
    void setParameters(core::Dictionary parameters) { parameters_ = std::move(parameters); }
    void setRoot(std::shared_ptr<ui::ViewController> root) { root_ = std::move(root); }

private:
    std::shared_ptr<RecordingOwner> owner_ = std::make_shared<RecordingOwner>();
    std::shared_ptr<DZSlot> slot_;
    std::shared_ptr<ui::ViewController> root_;
    core::Dictionary parameters_;
    bool fromSlot_ = false;
    mutable std::mutex mutex_;
    std::optional<core::Dictionary> key_;
};

core::Dictionary frameAt(double x, double y, double width = 320, double height = 50) {
    return {{"x", x}, {"y", y}, {"width", width}, {"height", height}};
}

// The slot parameters of a banner of that format at that place.
core::Dictionary parameters(const std::string& format, double x = 0, double y = 0) {
    return {{"ad_frame", frameAt(x, y)},
            {"ad_bounds", frameAt(0, 0)},
            {"format", format},
            {"slotname", "ignored"}};
}

class DZBannerCacheTest : public testing::Test {
protected:
    void TearDown() override {
        for (const auto key : {DZBannerCache::kSchemaKey, DZBannerCache::kMaxPoolsKey,
                               ads::DZBannerPool::kMaxQueuesKey})
            core::UserDefaults::standard()->removeObjectForKey(key);
    }
    std::shared_ptr<FakeBannerView> banner(const std::shared_ptr<ui::ViewController>& root,
                                           core::Dictionary slotParameters) {
        auto view = std::make_shared<FakeBannerView>(root, std::move(slotParameters));
        EXPECT_TRUE(view->slot());
        views.push_back(view);
        return view;
    }
    // A banner filed by a load of an inline ad.
    std::shared_ptr<FakeBannerView> filed(const std::shared_ptr<ui::ViewController>& root,
                                          core::Dictionary slotParameters) {
        auto view = banner(root, std::move(slotParameters));
        cache->loadRequest(requestWithExtras({{"_ad", inlineAd()}}), view);
        return view;
    }
    std::shared_ptr<DZSlot> lookUp(const std::shared_ptr<ui::ViewController>& root,
                                   const std::string& format) {
        return cache->cacheEntryForBannerView(banner(root, parameters(format)), nullptr);
    }
    static core::Dictionary keyOf(const std::string& format) {
        return DZBannerCache::bannerKey(FakeBannerView(nullptr, parameters(format)), nullptr);
    }

    std::shared_ptr<DZBannerCache> cache = DZBannerCache::create();
    std::shared_ptr<ui::ViewController> screenA = std::make_shared<ui::ViewController>();
    std::shared_ptr<ui::ViewController> screenB = std::make_shared<ui::ViewController>();
    std::shared_ptr<ui::ViewController> screenC = std::make_shared<ui::ViewController>();
    std::vector<std::shared_ptr<FakeBannerView>> views;
};

TEST_F(DZBannerCacheTest, KeysCountSizeAndSchemaEntriesButNotPosition) {
    const auto key = keyOf("320x50_mb");
    EXPECT_EQ(key, DZBannerCache::bannerKey(FakeBannerView(nullptr, parameters("320x50_mb", 10, 300)),
                                            nullptr));
    EXPECT_EQ(key, (core::Dictionary{{"ad_unit_id", "unit/1"},
                                     {"ad_frame", core::Dictionary{{"width", 320}, {"height", 50}}},
                                     {"ad_bounds", core::Dictionary{{"width", 320}, {"height", 50}}},
                                     {"format", "320x50_mb"}}));
    core::Dictionary taller = parameters("320x50_mb");
    taller.set("ad_frame", frameAt(0, 0, 320, 100));
    EXPECT_NE(key, DZBannerCache::bannerKey(FakeBannerView(nullptr, taller), nullptr));
    // Rectangles named by the schema are always there.
    EXPECT_EQ(DZBannerCache::bannerKey(FakeBannerView(nullptr, {}), nullptr),
              (core::Dictionary{{"ad_unit_id", "unit/1"},
                                {"ad_frame", core::Dictionary()},
                                {"ad_bounds", core::Dictionary()}}));

    core::UserDefaults::standard()->setObject(std::string(DZBannerCache::kSchemaKey),
                                              core::Array{"slotname"});
    EXPECT_EQ(keyOf("a"), (core::Dictionary{{"ad_unit_id", "unit/1"}, {"slotname", "ignored"}}));
}

TEST_F(DZBannerCacheTest, AFourthKeyEvictsTheLeastRecentlyUsedPool) {
    filed(screenA, parameters("k1"));
    filed(screenA, parameters("k2"));
    filed(screenA, parameters("k3"));
    filed(screenA, parameters("k1"));  // k1 is used again: k2 is now the oldest
    filed(screenA, parameters("k4"));
    EXPECT_EQ(cache->currentKeys(), (std::vector<core::Dictionary>{keyOf("k1"), keyOf("k3"),
                                                                   keyOf("k4")}));
    EXPECT_EQ(cache->currentCount(keyOf("k1")), 2u);

    core::UserDefaults::standard()->setObject(std::string(DZBannerCache::kMaxPoolsKey), "1");
    filed(screenA, parameters("k5"));
    EXPECT_EQ(cache->currentKeys(), std::vector<core::Dictionary>{keyOf("k5")});
}

TEST_F(DZBannerCacheTest, AFourthSlotOfAKeyDropsTheOldestAndTheNextScreenTakesTheRest) {
    std::vector<std::shared_ptr<DZSlot>> slots;
    for (int i = 0; i < 4; ++i) slots.push_back(filed(screenA, parameters("k"))->slot());
    EXPECT_EQ(cache->currentCount(keyOf("k")), 3u);

    // The next screen takes them oldest first; each now belongs to it.
    EXPECT_EQ(lookUp(screenB, "k"), slots[1]);
    EXPECT_EQ(cache->previousCount(keyOf("k")), 2u);
    EXPECT_EQ(cache->currentCount(keyOf("k")), 1u);
    EXPECT_EQ(lookUp(screenB, "k"), slots[2]);
    EXPECT_EQ(lookUp(screenB, "k"), slots[3]);
    EXPECT_FALSE(lookUp(screenB, "k"));
    EXPECT_FALSE(lookUp(screenB, "other"));
}

TEST_F(DZBannerCacheTest, TwoScreenChangesLoseTheSlots) {
    EXPECT_FALSE(lookUp(screenA, "k"));
    filed(screenA, parameters("k"));
    filed(screenA, parameters("k"));
    EXPECT_FALSE(lookUp(screenB, "other"));  // screen A's pools are now the previous ones
    EXPECT_EQ(cache->previousCount(keyOf("k")), 2u);
    EXPECT_FALSE(lookUp(screenC, "k"));
    EXPECT_EQ(cache->previousCount(keyOf("k")), 0u);

    // Without a root view controller there is nothing, and no screen.
    filed(screenC, parameters("k"));
    EXPECT_FALSE(lookUp(nullptr, "k"));
    EXPECT_FALSE(cache->currentRootViewController());
    EXPECT_EQ(cache->previousCount(keyOf("k")), 1u);
}

TEST_F(DZBannerCacheTest, ARekeyedBannerLeavesItsOldPool) {
    const auto view = filed(screenA, parameters("old"));
    filed(screenA, parameters("kept"));
    (void)cache->currentKeys();  // the filing is done
    EXPECT_EQ(view->bannerKey(), keyOf("old"));
    view->setParameters(parameters("new"));
    cache->loadRequest(requestWithExtras({{"_ad", inlineAd()}}), view);
    EXPECT_EQ(cache->currentKeys(),
              (std::vector<core::Dictionary>{keyOf("kept"), keyOf("new")}));
    EXPECT_EQ(cache->currentCount(keyOf("new")), 1u);
    EXPECT_EQ(view->bannerKey(), keyOf("new"));
}

// The key's parameters drain the application's pending ad statistics into
// the slot as the load's own do; none may be lost between the two.
TEST_F(DZBannerCacheTest, StatisticsDrainedForTheKeyGoOutWithTheLoadOrAreHandedBack) {
    const auto app = ads::DZApplication::sharedInstance();
    (void)app->pendingAdStatistics();
    const auto statistics = ads::DZStatisticDictionary::create();
    statistics->setObject(3, "pcc", false);
    app->didUpdateStatisticDictionary(statistics);

    const auto view = banner(screenA, {});
    view->takeParametersFromSlot();
    const auto request = std::make_shared<ads::DZRequest>();
    EXPECT_FALSE(cache->cacheEntryForBannerView(view, request));
    EXPECT_TRUE(app->pendingAdStatistics().empty()) << "the key drained them";
    // The load builds its parameters next: they carry what the key drained.
    const core::Dictionary sent = view->slot()->requestParametersForRequest(request);
    EXPECT_EQ(sent["quality_signals"]["ads"], core::Value(core::Array{statistics->dictionary()}));

    // A failed load gives them back once; the slot keeps none.
    view->slot()->didFailToReceiveAdWithError(ads::DZErrorWithCode(ads::kDZErrorNoFill), false);
    EXPECT_EQ(app->pendingAdStatistics(), std::set{statistics});
    EXPECT_TRUE(view->slot()->pendingAdStatistics().empty());
}

TEST_F(DZBannerCacheTest, APoolWithoutRoomKeepsOnlyItsNewestSlot) {
    core::UserDefaults::standard()->setObject(std::string(ads::DZBannerPool::kMaxQueuesKey), "0");
    ads::DZBannerPool pool;
    const auto first = banner(screenA, {})->slot();
    const auto second = banner(screenA, {})->slot();
    pool.addEntry(first);
    pool.addEntry(second);
    pool.addEntry(nullptr);
    EXPECT_EQ(pool.count(), 1u);
    EXPECT_EQ(pool.nextEntry(), second);
    EXPECT_FALSE(pool.nextEntry());
}

}  // namespace
