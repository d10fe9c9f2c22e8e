#include <gtest/gtest.h>

#include "StatisticsTesting.h"
#include "ads/foundation/DZClock.h"
#include "ads/foundation/DZSlotStatistics.h"
#include "support/ManualClockScope.h"

using namespace ads;
using statstesting::list;
using statstesting::stored;

namespace {
// Clock steps are binary fractions of a second: DZMonotonicMilliseconds
// truncates, and 0.01 s on the manual clock's scale reads as 9 ms.
void runAdapter(DZSlotStatistics& slot, testsupport::ManualClockScope& clock, double seconds,
                std::int64_t exitCode) {
    slot.startTimingAdapter();
    clock.advance(seconds);
    slot.endTimingAdapterWithExitCode(exitCode);
}

void fillAdapter(DZSlotStatistics& slot, testsupport::ManualClockScope& clock, double seconds,
                 std::int64_t status, std::string_view allocation) {
    slot.startTimingAdapter();
    clock.advance(seconds);
    slot.endTimingAdapterWithFillStatus(status, allocation);
}
}  // namespace

TEST(DZSlotStatistics, ExitCodesAndDurationsAreListedInOrder) {
    statstesting::forget("slot-exit");
    testsupport::ManualClockScope clock;
    DZSlotStatistics slot;
    slot.setIdentifier("slot-exit");
    EXPECT_EQ(slot.adapterExitCodesParameter(), std::nullopt);
    runAdapter(slot, clock, 0.25, 3);
    runAdapter(slot, clock, 1.0, 0);
    EXPECT_EQ(slot.adapterExitCodesParameter(), "3,0");
    EXPECT_EQ(slot.adapterDurationsParameter(), "250,1000");
    EXPECT_EQ(stored("dozuza_stats_slot-exit")["adapter_exit"], list({"3", "0"}));

    slot.resetTimingAdapters();
    EXPECT_EQ(slot.adapterExitCodesParameter(), std::nullopt);
    EXPECT_EQ(slot.adapterDurationsParameter(), std::nullopt);
}

TEST(DZSlotStatistics, FillStatusIsRenderedPerAllocation) {
    statstesting::forget("slot-fill");
    testsupport::ManualClockScope clock;
    DZSlotStatistics slot;
    slot.setIdentifier("slot-fill");
    EXPECT_EQ(slot.adapterFillStatusParameter(), std::nullopt);
    EXPECT_EQ(slot.adapterFillStatusParameterOrderedByAllocationIDs({"a"}), std::nullopt);

    fillAdapter(slot, clock, 0.125, 1, "a");
    fillAdapter(slot, clock, 0.25, 0, "b");
    EXPECT_EQ(slot.adapterFillStatusParameter(), "a.1.125_b.0.250");
    EXPECT_EQ(slot.adapterFillStatusParameterOrderedByAllocationIDs({"b", "x", "a"}),
              "b.0.250_a.1.125");
    EXPECT_EQ(stored("dozuza_stats_slot-fill")["adapter_fill_status"][0],
              core::Value(core::Dictionary{{"fill_status_allocation_id", "a"},
                                           {"fill_status_exit", "1"},
                                           {"fill_status_duration", "125"}}));

    // A later entry for an allocation stands for it when ordered.
    fillAdapter(slot, clock, 0.5, -2, "a");
    fillAdapter(slot, clock, 0.5, 0, "");
    EXPECT_EQ(slot.adapterFillStatusParameter(), "a.1.125_b.0.250_a.-2.500");
    EXPECT_EQ(slot.adapterFillStatusParameterOrderedByAllocationIDs({"a", "b"}),
              "a.-2.500_b.0.250");

    slot.resetFillStatus();
    EXPECT_EQ(slot.adapterFillStatusParameter(), std::nullopt);
}

TEST(DZSlotStatistics, AnAdapterStillRunningReadsZero) {
    testsupport::ManualClockScope clock;
    DZSlotStatistics slot;
    slot.startTimingAdapter();
    clock.advance(2);
    ASSERT_NE(slot.timingNamed("adapter"), nullptr);
    EXPECT_EQ(slot.timingNamed("adapter")->elapsedMillisecondsString(), "0");

    // A named timing without explicit end runs; starting it again restarts it.
    slot.startTimingNamed("custom", false);
    clock.advance(0.5);
    EXPECT_EQ(slot.timingNamed("custom")->elapsedMilliseconds(), 500u);
    slot.startTimingNamed("custom", false);
    clock.advance(0.125);
    slot.endTimingNamed("custom");
    EXPECT_EQ(slot.timingNamed("custom")->elapsedMilliseconds(), 125u);
}

TEST(DZSlotStatistics, AnAdapterEndedWithoutAStartKeepsTheListsAligned) {
    statstesting::forget("slot-unstarted");
    DZSlotStatistics slot;
    slot.setIdentifier("slot-unstarted");
    slot.endTimingAdapterWithExitCode(7);
    EXPECT_EQ(slot.adapterExitCodesParameter(), "7");
    EXPECT_EQ(slot.adapterDurationsParameter(), "0");
}

TEST(DZSlotStatistics, ASlotMadeAgainAfterARestartGoesOnWhereItWas) {
    statstesting::forget("slot-restart");
    testsupport::ManualClockScope clock;
    {
        DZSlotStatistics slot;
        slot.setIdentifier("slot-restart");
        runAdapter(slot, clock, 0.25, 3);
        fillAdapter(slot, clock, 0.125, 1, "a");
        (void)slot.statistics();  // every queued save has run
    }
    statstesting::reopenDefaultsFromDisk();

    DZSlotStatistics slot;
    slot.setIdentifier("slot-restart");
    EXPECT_EQ(slot.adapterExitCodesParameter(), "3");
    EXPECT_EQ(slot.adapterFillStatusParameter(), "a.1.125");
    // Its end is saved only if the save ran after it: ends wait for the next
    // added timing.
    EXPECT_NE(slot.timingNamed("adapter"), nullptr);
    runAdapter(slot, clock, 0.5, 0);
    EXPECT_EQ(slot.adapterExitCodesParameter(), "3,0");
    EXPECT_EQ(slot.adapterDurationsParameter(), "250,500");
}

TEST(DZSlotStatistics, AnAdapterLeftRunningByAnEarlierProcessEndsWithZero) {
    statstesting::forget("slot-crashed");
    testsupport::ManualClockScope clock;
    const std::uint64_t later = DZMonotonicMilliseconds() + 50'000'000;
    statstesting::store(
        "dozuza_timing_slot-crashed",
        core::Dictionary{
            {"adapter", core::Dictionary{{"category", "adapter"}, {"start", later}, {"end", 0}}}});
    DZSlotStatistics slot;
    slot.setIdentifier("slot-crashed");
    clock.advance(1);
    slot.endTimingAdapterWithExitCode(2);
    EXPECT_EQ(slot.adapterDurationsParameter(), "0");
}

TEST(DZSlotStatistics, StoredNumbersAreRenderedAsTheSDKWritesThem) {
    statstesting::forget("slot-numbers");
    statstesting::store(
        "dozuza_stats_slot-numbers",
        core::Dictionary{
            {"adapter_duration", list({0.1234567, 30.0, true, 12, "7"})},
            {"adapter_fill_status",
             list({core::Dictionary{{"fill_status_allocation_id", "a"},
                                    {"fill_status_exit", 1},
                                    {"fill_status_duration", 2.5}},
                   core::Dictionary{{"fill_status_allocation_id", "broken"}}, "junk"})},
        });
    DZSlotStatistics slot;
    slot.setIdentifier("slot-numbers");
    EXPECT_EQ(slot.adapterDurationsParameter(), "0.123457,30,1,12,7");
    EXPECT_EQ(slot.adapterFillStatusParameter(), "a.1.2.5");
}
