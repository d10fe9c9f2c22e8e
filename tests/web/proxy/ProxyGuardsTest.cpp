#include "web/proxy/ProxyGuards.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using web::proxy::BodyBudget;
using web::proxy::LoadPlaces;

constexpr std::int64_t kMiB = std::int64_t(1) << 20;

// One page can fill the budget alone, but not keep another page out: the
// other's body takes the place of the newest body of the page holding more
// than its part, whose holder hears it; a page over its own part is refused.
TEST(ProxyGuardsTest, NoPageKeepsAnotherOutOfTheBodyBudget) {
    ASSERT_EQ(BodyBudget::used(), 0);
    std::vector<int> lost(3, 0);
    BodyBudget::Share first(1, [&] { ++lost[0]; });
    BodyBudget::Share second(1, [&] { ++lost[1]; });
    ASSERT_TRUE(first.grow(64 * kMiB));
    ASSERT_TRUE(second.grow(64 * kMiB));
    EXPECT_EQ(BodyBudget::used(), BodyBudget::kBytes);
    BodyBudget::Share third(1, [&] { ++lost[2]; });
    EXPECT_FALSE(third.grow(1));
    EXPECT_EQ(lost, (std::vector<int>{0, 0, 0}));

    BodyBudget::Share other(2, nullptr);
    EXPECT_TRUE(other.grow(kMiB));
    EXPECT_EQ(lost, (std::vector<int>{0, 1, 0}));
    EXPECT_TRUE(second.lost());
    EXPECT_EQ(second.bytes(), 0);
    EXPECT_FALSE(second.grow(1));
    EXPECT_EQ(BodyBudget::used(), 64 * kMiB + kMiB);
    // Now the first page holds no more than its part: the second may grow to
    // its own, and no further.
    EXPECT_TRUE(other.grow(63 * kMiB - kMiB));
    EXPECT_FALSE(other.grow(2 * kMiB));
    EXPECT_EQ(lost, (std::vector<int>{0, 1, 0}));
    first = {};
    EXPECT_TRUE(other.grow(2 * kMiB));
    other = {};
    third = {};
    second = {};
    EXPECT_EQ(BodyBudget::used(), 0);
}

// A page waits for a place once it has kMostPerPage loads waiting for
// their answers; other pages go on; places come back as loads answer or
// end, and a load whose client went is skipped.
TEST(ProxyGuardsTest, LoadPlacesBoundEachPage) {
    LoadPlaces places;
    std::vector<LoadPlaces::Place> held;
    auto ticket = std::make_shared<int>(0);
    int started = 0;
    const auto take = [&](std::uint64_t page, const std::shared_ptr<int>& owner) {
        places.take(page, owner, [&](LoadPlaces::Place place) {
            ++started;
            held.push_back(std::move(place));
        });
    };
    for (size_t i = 0; i < LoadPlaces::kMostPerPage; ++i) take(1, ticket);
    EXPECT_EQ(started, int(LoadPlaces::kMostPerPage));
    auto gone = std::make_shared<int>(0);
    take(1, gone);
    take(1, ticket);
    EXPECT_EQ(started, int(LoadPlaces::kMostPerPage));
    EXPECT_EQ(places.waiting(), 2u);
    take(2, ticket);
    EXPECT_EQ(started, int(LoadPlaces::kMostPerPage) + 1);

    gone.reset();
    held.front().release();
    EXPECT_EQ(started, int(LoadPlaces::kMostPerPage) + 2);
    EXPECT_EQ(places.waiting(), 0u);
    EXPECT_EQ(places.held(), LoadPlaces::kMostPerPage + 1);
    held.clear();
    EXPECT_EQ(places.held(), 0u);
}

}  // namespace
