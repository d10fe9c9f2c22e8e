#include <gtest/gtest.h>

#include "ads/foundation/DZClock.h"
#include "ads/foundation/DZTiming.h"
#include "support/ManualClockScope.h"

using namespace ads;

namespace {
core::Value form(std::string category, std::uint64_t start, std::uint64_t end) {
    return core::Value(core::Dictionary{
        {"category", core::Value(std::move(category))},
        {"start", core::Value(static_cast<unsigned long long>(start))},
        {"end", core::Value(static_cast<unsigned long long>(end))},
    });
}
}  // namespace

TEST(DZTiming, MeasuresMillisecondsOnTheClock) {
    testsupport::ManualClockScope clock;
    DZTiming timing("load");
    EXPECT_EQ(timing.elapsedMilliseconds(), 0u);
    timing.start();
    clock.advance(0.25);
    EXPECT_EQ(timing.elapsedMilliseconds(), 250u);
    timing.end();
    clock.advance(1);
    EXPECT_EQ(timing.elapsedMilliseconds(), 250u);
    EXPECT_EQ(timing.elapsedMillisecondsString(), "250");
    EXPECT_EQ(timing.endTimestamp() - timing.startTimestamp(), 250u);

    // Started again after its end: it runs from the new start.
    timing.start();
    clock.advance(0.125);
    EXPECT_EQ(timing.elapsedMilliseconds(), 125u);
}

TEST(DZTiming, AnExplicitEndReportsZeroUntilEnded) {
    testsupport::ManualClockScope clock;
    DZTiming timing("adapter");
    timing.setExplicitEnd(true);
    timing.start();
    clock.advance(3);
    EXPECT_EQ(timing.elapsedMillisecondsString(), "0");
    timing.end();
    EXPECT_EQ(timing.elapsedMilliseconds(), 3000u);
}

TEST(DZTiming, AnEndBeforeAnyStartIsIgnored) {
    testsupport::ManualClockScope clock;
    DZTiming timing("early");
    timing.end();
    EXPECT_EQ(timing.endTimestamp(), 0u);
    clock.advance(1);
    EXPECT_EQ(timing.elapsedMilliseconds(), 0u);
    timing.start();
    clock.advance(0.125);
    EXPECT_EQ(timing.elapsedMilliseconds(), 125u);
}

TEST(DZTiming, DictionaryFormRoundTripsAndToleratesMissingParts) {
    testsupport::ManualClockScope clock;
    DZTiming timing("fetch");
    timing.start();
    clock.advance(0.5);
    timing.end();
    const auto copy = DZTiming::createWithDictionaryRepresentation(
        core::Value(timing.dictionaryRepresentation()));
    EXPECT_EQ(copy->category(), "fetch");
    EXPECT_EQ(copy->startTimestamp(), timing.startTimestamp());
    EXPECT_EQ(copy->endTimestamp(), timing.endTimestamp());
    EXPECT_EQ(copy->elapsedMilliseconds(), 500u);
    EXPECT_TRUE(timing.dictionaryRepresentation()["start"].isUnsigned());

    const auto bare = DZTiming::createWithDictionaryRepresentation(core::Value("junk"));
    EXPECT_EQ(bare->startTimestamp(), 0u);
    EXPECT_EQ(bare->endTimestamp(), 0u);
    EXPECT_EQ(bare->category().rfind("DZTiming (0x", 0), 0u);
}

TEST(DZTiming, UnnamedTimingsAreNamedByTheirAddress) {
    DZTiming first;
    DZTiming second(std::nullopt);
    EXPECT_EQ(first.category().rfind("DZTiming (0x", 0), 0u);
    EXPECT_EQ(first.category().back(), ')');
    EXPECT_NE(first.category(), second.category());
}

TEST(DZTiming, AStartStoredByAnEarlierProcessNeverYieldsABogusDuration) {
    testsupport::ManualClockScope clock;
    const std::uint64_t now = DZMonotonicMilliseconds();

    // That process's clock had run far beyond ours: no wrap-around.
    const auto ahead = DZTiming::createWithDictionaryRepresentation(form("a", now + 9'000'000, 0));
    clock.advance(1);
    EXPECT_EQ(ahead->elapsedMilliseconds(), 0u);
    ahead->end();
    EXPECT_EQ(ahead->endTimestamp(), 0u);
    EXPECT_EQ(ahead->elapsedMilliseconds(), 0u);

    // Or far behind: the distance to our clock means nothing either.
    const auto behind = DZTiming::createWithDictionaryRepresentation(form("b", 1, 0));
    EXPECT_EQ(behind->elapsedMilliseconds(), 0u);

    // A duration that process finished is kept.
    const auto finished =
        DZTiming::createWithDictionaryRepresentation(form("c", now + 9'000'000, now + 9'000'250));
    EXPECT_EQ(finished->elapsedMilliseconds(), 250u);

    // An end without a start is no duration.
    const auto endOnly = DZTiming::createWithDictionaryRepresentation(form("d", 0, 5000));
    EXPECT_EQ(endOnly->elapsedMilliseconds(), 0u);

    // Started again here, it measures on this process's clock.
    ahead->start();
    clock.advance(0.375);
    ahead->end();
    EXPECT_EQ(ahead->elapsedMilliseconds(), 375u);
}
