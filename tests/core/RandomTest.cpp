#include "core/Random.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <memory>

namespace {

using core::Random;
using core::ScriptedRandom;
using core::SeededRandom;

TEST(RandomTest, SeededSourcesRepeatForTheSameSeedOnly) {
    SeededRandom a(42), b(42), c(43);
    bool differs = false;
    for (int i = 0; i < 16; ++i) {
        const auto value = a.nextUInt32();
        EXPECT_EQ(value, b.nextUInt32());
        differs = differs || value != c.nextUInt32();
    }
    EXPECT_TRUE(differs);
}

TEST(RandomTest, UniformIsOneDrawOverTwoToThe32) {
    ScriptedRandom random({0, 0x40000000u, 0xFFFFFFFFu});
    EXPECT_EQ(random.uniform(), 0.0);
    EXPECT_EQ(random.uniform(), 0.25);
    const double top = random.uniform();
    EXPECT_LT(top, 1.0);
    EXPECT_GT(top, 0.999999);
    EXPECT_EQ(random.drawsMade(), 3u);
}

TEST(RandomTest, UniformIntMapsDrawsOntoTheInclusiveRange) {
    ScriptedRandom random({1, 0xFFFFFFFFu, 0x80000000u});
    EXPECT_EQ(random.uniformInt(1, 6), 1);
    EXPECT_EQ(random.uniformInt(1, 6), 6);
    EXPECT_EQ(random.uniformInt(10, -10), 0);  // bounds swapped; 21 values, middle draw
    EXPECT_EQ(random.drawsMade(), 3u);
}

TEST(RandomTest, UniformIntDrawsAgainInTheRejectedZone) {
    // For six values, draws whose product with 6 has a low word below
    // 2^32 mod 6 = 4 would favour the low results: 0 is one of them.
    ScriptedRandom random({0, 1});
    EXPECT_EQ(random.uniformInt(0, 5), 0);
    EXPECT_EQ(random.drawsMade(), 2u);
}

TEST(RandomTest, WideRangesUseTwoDrawsHighWordFirst) {
    ScriptedRandom random({0x80000000u, 0});
    const std::int64_t top = std::int64_t{1} << 40;
    EXPECT_EQ(random.uniformInt(0, top), std::int64_t{1} << 39);
    EXPECT_EQ(random.drawsMade(), 2u);

    ScriptedRandom full({0xFFFFFFFFu, 0xFFFFFFFFu});
    constexpr auto lowest = std::numeric_limits<std::int64_t>::min();
    constexpr auto highest = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(full.uniformInt(lowest, highest), highest);
    EXPECT_EQ(full.uniformInt(7, 7), 7);
}

TEST(RandomTest, UniformIntIsEvenOverManyDraws) {
    SeededRandom random(7);
    std::array<int, 6> counts{};
    constexpr int kDraws = 60'000;
    for (int i = 0; i < kDraws; ++i) {
        const auto value = random.uniformInt(1, 6);
        ASSERT_GE(value, 1);
        ASSERT_LE(value, 6);
        ++counts[static_cast<size_t>(value - 1)];
    }
    for (const int count : counts) EXPECT_NEAR(count, kDraws / 6, kDraws / 60);
}

TEST(RandomTest, CurrentSourceIsInjectable) {
    const auto original = Random::current();
    ASSERT_NE(original, nullptr);
    auto scripted = std::make_shared<ScriptedRandom>(std::vector<std::uint32_t>{0x40000000u});
    Random::install(scripted);
    EXPECT_EQ(Random::current()->uniform(), 0.25);
    Random::install(nullptr);
    EXPECT_EQ(Random::current(), original);
}

}  // namespace
