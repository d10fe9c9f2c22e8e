// The application's request statistics, session counters, the ads'
// statistics waiting to be sent and the return from a click.

#include <gtest/gtest.h>

#include <atomic>
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

struct FakeSlot {
    bool mediating = false;
    bool beingMediated = false;
    [[nodiscard]] bool isMediating() const { return mediating; }
    [[nodiscard]] bool isBeingMediated() const { return beingMediated; }
};

class DZApplicationStatistics : public testing::Test {
protected:
    void SetUp() override {
        for (const std::string_view key :
             {DZApplication::kPreqsInSessionKey, kDZTimeInSessionKey, kDZLastUserEngagementKey,
              kDZAppSessionTimeoutKey, DZApplication::kMediatingSlotCheckKey}) {
            core::UserDefaults::standard()->removeObjectForKey(key);
        }
        DZApplication::resetForTesting();
    }
    void TearDown() override { SetUp(); }
    static std::shared_ptr<DZApplication> app() { return DZApplication::sharedInstance(); }
    static core::Dictionary snapshot(FakeSlot slot = {}) {
        return app()->nextRequestStatisticsDictionaryForSlot(slot);
    }

    testsupport::ManualClockScope clock;
};

}  // namespace

TEST_F(DZApplicationStatistics, TheFirstSnapshotsOfAFreshInstall) {
    EXPECT_EQ(app()->timeSinceFirstAdRequestInMilliseconds(), 0u);
    const core::Dictionary first = snapshot();
    EXPECT_EQ(first["session_id"], Value(app()->sessionIdentifier()));
    EXPECT_EQ(first["preqs"], Value(0));
    EXPECT_EQ(first["preqs_in_session"], Value(0));
    EXPECT_EQ(first["time_in_session"], Value(0));
    EXPECT_EQ(first["seq_num"], Value(1));
    EXPECT_TRUE(first["basets"].isUnsigned());
    EXPECT_EQ(first["basets"], first["currts"]);
    // Mediation URLs carry the request count and still raise the sequence.
    EXPECT_EQ(app()->nextSequenceNumberAsString(), "0");

    clock.advance(2.5);
    EXPECT_EQ(app()->timeSinceFirstAdRequestInMilliseconds(), 2500u);
    const core::Dictionary second = snapshot();
    EXPECT_EQ(second["preqs"], Value(1));
    EXPECT_EQ(second["time_in_session"], Value(2.5));
    EXPECT_EQ(second["seq_num"], Value(3));
    EXPECT_EQ(second["currts"].uintValue(), first["basets"].uintValue() + 2500);
}

TEST_F(DZApplicationStatistics, TheMediatingSlotCheckDecidesWhatCounts) {
    const struct {
        const char* check;
        FakeSlot slot;
        std::int64_t preqs, inSession;
    } cases[] = {
        {nullptr, {true, false}, -1, 1},
        {"0", {false, true}, 1, 0},
        {"1", {false, true}, 0, 0},
        {"1", {true, false}, 1, 1},
        {"1", {}, 1, 1},
    };
    for (const auto& c : cases) {
        SetUp();
        if (c.check)
            core::UserDefaults::standard()->setObject(
                std::string(DZApplication::kMediatingSlotCheckKey), c.check);
        const core::Dictionary before = snapshot();
        const core::Dictionary after = snapshot(c.slot);
        EXPECT_EQ(after["preqs"].intValue() - before["preqs"].intValue(), c.preqs)
            << (c.check ? c.check : "-") << c.slot.mediating << c.slot.beingMediated;
        EXPECT_EQ(after["preqs_in_session"].intValue() - before["preqs_in_session"].intValue(),
                  c.inSession)
            << (c.check ? c.check : "-") << c.slot.mediating << c.slot.beingMediated;
    }
}

TEST_F(DZApplicationStatistics, ARequesterCountsOnceAndTheChangeIsPostedElsewhere) {
    std::atomic<int> posts{0};
    std::atomic<bool> onCaller{false};
    const auto caller = std::this_thread::get_id();
    const auto token = core::NotificationCenter::defaultCenter().addObserver(
        DZApplication::kCurrentAdRequestCountChangedNotification, nullptr, nullptr,
        [&](const core::Notification&) {
            onCaller = onCaller || std::this_thread::get_id() == caller;
            ++posts;
        });
    int first = 0, second = 0, never = 0;
    app()->requesterWillBeginRequest(&first);
    app()->requesterWillBeginRequest(&first);
    app()->requesterWillBeginRequest(&second);
    EXPECT_EQ(app()->currentAdRequestCount(), 2);
    app()->requesterDidEndRequest(&first);
    app()->requesterDidEndRequest(&first);
    app()->requesterDidEndRequest(&never);
    EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return posts == 3; }, 10));
    EXPECT_EQ(app()->currentAdRequestCount(), 1);
    EXPECT_FALSE(onCaller);
    core::NotificationCenter::defaultCenter().removeObserver(token);
}

TEST_F(DZApplicationStatistics, TheSessionCountGoesOnAcrossARestartUntilTheTimeOut) {
    DZSetAppSessionTimeoutMilliseconds(60'000);
    (void)snapshot();
    (void)snapshot();
    clock.advance(10);
    DZApplication::resetForTesting();  // a new process within the session
    app()->willEnterForeground();
    core::Dictionary next = snapshot();
    EXPECT_EQ(next["preqs"], Value(0));
    EXPECT_EQ(next["preqs_in_session"], Value(2));
    EXPECT_EQ(next["time_in_session"], Value(10.0));

    // Back after more than the time-out on the boot clock: a new session.
    clock.advance(60.5);
    app()->willEnterForeground();
    next = snapshot();
    EXPECT_EQ(next["preqs_in_session"], Value(0));
    EXPECT_EQ(next["time_in_session"], Value(0));
}

TEST_F(DZApplicationStatistics, AReturnFromAClickAppendsToTheAdsClickTimes) {
    const auto ad = std::make_shared<DZAd>();
    const auto unclicked = std::make_shared<DZAd>();
    ad->statistics()->setObject(Value(std::uint64_t{5}), "tclickcurr", false);
    app()->didBecomeActive();
    app()->willLeaveApplicationDueToClickOnAd(unclicked);
    app()->didBecomeActive();
    app()->willLeaveApplicationDueToClickOnAd(ad);
    clock.advance(3);
    const Value now(DZMonotonicMilliseconds());
    app()->didBecomeActive();
    app()->didBecomeActive();
    EXPECT_TRUE(unclicked->statistics()->objectForKeyedSubscript("tclick").isNull());
    EXPECT_EQ(ad->statistics()->objectForKeyedSubscript("tclick"),
              Value(core::Array{Value(core::Array{Value(std::uint64_t{5}), now})}));

    // The change makes the ad's statistics pending, once; a request that
    // did not send them gives them back.
    std::set<std::shared_ptr<DZStatisticDictionary>> pending;
    ASSERT_TRUE(core::RunLoop::main().runUntil(
        [&] {
            pending.merge(app()->pendingAdStatistics());
            return !pending.empty();
        },
        10));
    EXPECT_EQ(pending, std::set{ad->statistics()});
    EXPECT_TRUE(app()->pendingAdStatistics().empty());
    app()->didNotSendAdStatistics(pending);
    EXPECT_EQ(app()->pendingAdStatistics(), pending);
}
