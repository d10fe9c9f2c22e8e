// The application's request statistics, session counters, the ads'
// statistics waiting to be sent and the return from a click.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "ads/core/app/DZApplication.h"
#include "ads/core/response/DZAd.h"
#include "ads/foundation/DZAppSession.h"
#include "ads/foundation/DZClock.h"
#include "core/NotificationCenter.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"
#include "support/ManualClockScope.h"
#include "support/ValuePrinting.h"

using namespace ads;
using core::Value;

namespace {

// What the snapshot asks of a slot.
struct FakeSlot {
    bool mediating = false;
    bool beingMediated = false;
    [[nodiscard]] bool isMediating() const { return mediating; }
    [[nodiscard]] bool isBeingMediated() const { return beingMediated; }
};

class DZApplicationStatistics : public testing::Test {
protected:
    void SetUp() override {
        clearDefaults();
        DZApplication::resetForTesting();
    }
    void TearDown() override {
        DZApplication::resetForTesting();
        clearDefaults();
    }
    static void clearDefaults() {
        const auto defaults = core::UserDefaults::standard();
        for (const std::string_view key :
             {DZApplication::kPreqsInSessionKey, kDZTimeInSessionKey, kDZLastUserEngagementKey,
              kDZAppSessionTimeoutKey, DZApplication::kMediatingSlotCheckKey}) {
            defaults->removeObjectForKey(key);
        }
    }
    static std::shared_ptr<DZApplication> application() { return DZApplication::sharedInstance(); }
    static Value statistic(std::string_view key) {
        return application()->statistics()->objectForKeyedSubscript(key);
    }
    static core::Dictionary snapshot(FakeSlot slot = {}) {
        return application()->nextRequestStatisticsDictionaryForSlot(slot);
    }

    testsupport::ManualClockScope clock;
};

}  // namespace

TEST_F(DZApplicationStatistics, TheFirstSnapshotOfAFreshInstall) {
    const auto app = application();
    EXPECT_EQ(app->timeSinceFirstAdRequestInMilliseconds(), 0u);
    const core::Dictionary first = snapshot();
    EXPECT_EQ(first["session_id"], Value(app->sessionIdentifier()));
    EXPECT_EQ(first["preqs"], Value(0));
    EXPECT_EQ(first["preqs_in_session"], Value(0));
    EXPECT_EQ(first["time_in_session"], Value(0));
    EXPECT_EQ(first["seq_num"], Value(1));
    EXPECT_TRUE(first["basets"].isUnsigned());
    EXPECT_EQ(first["basets"], first["currts"]);
    const auto defaults = core::UserDefaults::standard();
    EXPECT_EQ(defaults->objectForKey(DZApplication::kPreqsInSessionKey), Value(0));
    EXPECT_EQ(defaults->doubleForKey(kDZTimeInSessionKey), DZSecondsSinceBoot());
    EXPECT_EQ(defaults->doubleForKey(kDZLastUserEngagementKey), DZSecondsSinceBoot());

    // Mediation URLs carry the request count and still raise the sequence.
    EXPECT_EQ(app->nextSequenceNumberAsString(), "0");
    EXPECT_EQ(statistic("seq_num"), Value(2));

    clock.advance(2.5);
    EXPECT_EQ(app->timeSinceFirstAdRequestInMilliseconds(), 2500u);
    const core::Dictionary second = snapshot();
    EXPECT_EQ(second["preqs"], Value(1));
    EXPECT_EQ(second["preqs_in_session"], Value(1));
    EXPECT_EQ(second["time_in_session"].doubleValue(), 2.5);
    EXPECT_EQ(second["seq_num"], Value(3));
    EXPECT_EQ(second["basets"], first["basets"]);
    EXPECT_EQ(second["currts"].uintValue(), first["basets"].uintValue() + 2500);
}

TEST_F(DZApplicationStatistics, TheMediatingSlotCheckDecidesWhatCounts) {
    const struct {
        const char* check;
        FakeSlot slot;
        std::int64_t preqs;
        std::int64_t inSession;
    } cases[] = {
        {nullptr, {}, 1, 1},        {nullptr, {true, false}, -1, 1}, {"0", {false, true}, 1, 0},
        {"1", {false, true}, 0, 0}, {"1", {true, false}, 1, 1},      {"true", {}, 1, 1},
    };
    for (const auto& c : cases) {
        SetUp();
        if (c.check) {
            core::UserDefaults::standard()->setObject(
                std::string(DZApplication::kMediatingSlotCheckKey), c.check);
        }
        const core::Dictionary before = snapshot();
        const core::Dictionary after = snapshot(c.slot);
        EXPECT_EQ(after["preqs"].intValue() - before["preqs"].intValue(), c.preqs)
            << (c.check ? c.check : "absent") << " " << c.slot.mediating;
        EXPECT_EQ(after["preqs_in_session"].intValue() - before["preqs_in_session"].intValue(),
                  c.inSession)
            << (c.check ? c.check : "absent") << " " << c.slot.beingMediated;
    }
}

TEST_F(DZApplicationStatistics, ARequesterCountsOnceAndTheCountIsAnnouncedElsewhere) {
    const auto app = application();
    std::mutex mutex;
    std::vector<std::thread::id> threads;
    const auto token = core::NotificationCenter::defaultCenter().addObserver(
        DZApplication::kCurrentAdRequestCountChangedNotification, nullptr, nullptr,
        [&](const core::Notification&) {
            std::lock_guard lock(mutex);
            threads.push_back(std::this_thread::get_id());
        });
    const auto announcements = [&] {
        std::lock_guard lock(mutex);
        return threads.size();
    };
    int first = 0;
    int second = 0;
    int never = 0;
    app->requesterWillBeginRequest(&first);
    app->requesterWillBeginRequest(&first);
    app->requesterWillBeginRequest(&second);
    EXPECT_EQ(app->currentAdRequestCount(), 2);
    app->requesterDidEndRequest(&first);
    app->requesterDidEndRequest(&first);
    app->requesterDidEndRequest(&never);
    EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return announcements() == 3; }, 10));
    EXPECT_EQ(app->currentAdRequestCount(), 1);
    EXPECT_EQ(statistic("crqc"), Value(1));
    app->requesterDidEndRequest(&second);
    EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return announcements() == 4; }, 10));
    EXPECT_EQ(app->currentAdRequestCount(), 0);
    core::NotificationCenter::defaultCenter().removeObserver(token);
    std::lock_guard lock(mutex);
    for (const auto& thread : threads) EXPECT_NE(thread, std::this_thread::get_id());
}

TEST_F(DZApplicationStatistics, TheSessionCountGoesOnAcrossARestartUntilTheTimeOut) {
    DZSetAppSessionTimeoutMilliseconds(60'000);
    (void)snapshot();
    (void)snapshot();
    clock.advance(10);

    // A new process within the session.
    DZApplication::resetForTesting();
    EXPECT_EQ(statistic("preqs_in_session"), Value(1));
    EXPECT_EQ(statistic("preqs"), Value(-1));
    application()->willEnterForeground();
    core::Dictionary next = snapshot();
    EXPECT_EQ(next["preqs_in_session"], Value(2));
    EXPECT_EQ(next["preqs"], Value(0));
    EXPECT_EQ(next["time_in_session"].doubleValue(), 10);

    // Back after more than the time-out on the boot clock: a new session.
    clock.advance(60.5);
    application()->willEnterForeground();
    next = snapshot();
    EXPECT_EQ(next["preqs_in_session"], Value(0));
    EXPECT_EQ(next["time_in_session"], Value(0));
    EXPECT_EQ(core::UserDefaults::standard()->objectForKey(DZApplication::kPreqsInSessionKey),
              Value(0));
}

TEST_F(DZApplicationStatistics, AReturnFromAClickAppendsToTheAdsClickTimes) {
    const auto app = application();
    const auto ad = std::make_shared<DZAd>();
    const auto other = std::make_shared<DZAd>();
    ad->statistics()->setObject(Value(std::uint64_t{5}), "tclickcurr", false);

    // A return without a click away, or from an ad without a click time,
    // records nothing.
    app->didBecomeActive();
    app->willLeaveApplicationDueToClickOnAd(other);
    app->didBecomeActive();
    EXPECT_TRUE(other->statistics()->objectForKeyedSubscript("tclick").isNull());

    app->willLeaveApplicationDueToClickOnAd(ad);
    clock.advance(3);
    const std::uint64_t now = DZMonotonicMilliseconds();
    app->didBecomeActive();
    app->didBecomeActive();
    EXPECT_EQ(ad->statistics()->objectForKeyedSubscript("tclick"),
              Value(core::Array{core::Array{Value(std::uint64_t{5}), Value(now)}}));

    // The change makes the ad's statistics pending, once.
    std::set<std::shared_ptr<DZStatisticDictionary>> pending;
    ASSERT_TRUE(core::RunLoop::main().runUntil(
        [&] {
            pending.merge(app->pendingAdStatistics());
            return !pending.empty();
        },
        10));
    EXPECT_EQ(pending, std::set{ad->statistics()});
    EXPECT_TRUE(app->pendingAdStatistics().empty());
    // A request that did not send them gives them back.
    app->didNotSendAdStatistics(pending);
    app->didNotSendAdStatistics(pending);
    EXPECT_EQ(app->pendingAdStatistics(), pending);
}

TEST_F(DZApplicationStatistics, ApplicationParametersAreTheSixFacts) {
    const core::Dictionary parameters = application()->parameters();
    std::vector<std::string> keys;
    for (const auto& [key, value] : parameters) {
        keys.push_back(key);
        EXPECT_TRUE(value.isString()) << key;
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"appversion", "bundleid", "osversion", "rdid", "lat",
                                              "sdkversion"}));
    EXPECT_EQ(parameters["bundleid"], Value("app.vantor.gallery"));
    EXPECT_EQ(parameters["appversion"], Value("1"));
    EXPECT_EQ(parameters["sdkversion"], Value("duzo-sdk-i-v7.22.0"));
}
