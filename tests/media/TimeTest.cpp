#include "media/Time.h"

#include <gtest/gtest.h>

#include <cmath>

#include "media/TimeRange.h"

namespace {

using media::Time;

TEST(TimeTest, ComparesExactlyAcrossTimescalesWithInvalidBelowAndIndefiniteAbove) {
    struct Case {
        Time a;
        Time b;
        int order;  // a <=> b as -1, 0, 1
    };
    const Case cases[] = {
        {Time(1, 4), Time(250'000'000, Time::kNanoseconds), 0},
        {Time(1, 3), Time(333'333'333, Time::kNanoseconds), 1},
        {Time(-1, 2), Time::zero(), -1},
        {Time(1, 1), Time::indefinite(), -1},
        {Time::invalid(), Time(-1'000'000, 1), -1},
        {Time::invalid(), Time(5, 0), 0},
        {Time::indefinite(), Time::indefinite(), 0},
        {Time(INT64_MAX, 1), Time(INT64_MAX, 2), 1},
    };
    for (const auto& c : cases) {
        const auto order = c.a <=> c.b;
        EXPECT_EQ(order < 0   ? -1
                  : order > 0 ? 1
                              : 0,
                  c.order)
            << c.a.value() << "/" << c.a.timescale() << " vs " << c.b.value() << "/"
            << c.b.timescale();
    }
}

TEST(TimeTest, KindsAndSeconds) {
    EXPECT_FALSE(Time().isValid());
    EXPECT_FALSE(Time(3, 0).isValid());
    EXPECT_TRUE(Time::indefinite().isValid());
    EXPECT_FALSE(Time::indefinite().isNumeric());
    EXPECT_EQ(Time::indefinite().timescale(), 0);
    EXPECT_DOUBLE_EQ(Time::indefinite().toSeconds(), 0);
    EXPECT_DOUBLE_EQ(Time(3, 4).toSeconds(), 0.75);

    const Time rounded = Time::seconds(1.0000000006);
    EXPECT_EQ(rounded.timescale(), Time::kNanoseconds);
    EXPECT_EQ(rounded.value(), 1'000'000'001);
    EXPECT_EQ(Time::seconds(2.5, 600), Time(1500, 600));
    EXPECT_FALSE(Time::seconds(std::nan(""), 600).isValid());
    EXPECT_FALSE(Time::seconds(1, 0).isValid());

    const auto range = media::TimeRange::fromSeconds(1.5, 4);
    EXPECT_DOUBLE_EQ(range.startSeconds(), 1.5);
    EXPECT_DOUBLE_EQ(range.endSeconds(), 4);
    EXPECT_TRUE(range.isValid());
    EXPECT_FALSE((media::TimeRange{Time::zero(), Time::indefinite()}).isValid());
}

}  // namespace
