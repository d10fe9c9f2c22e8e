#include "web/proxy/ProxyGuards.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/RunLoop.h"

namespace {

using web::proxy::BodyBudget;
using web::proxy::Descriptors;
using web::proxy::LoadPlaces;

constexpr std::int64_t kMiB = std::int64_t(1) << 20;

// Whether the budget is empty, once what the proxy's exchanges (of tests
// before) held went as they ended: the budget is the process's.
bool budgetEmpty() {
    return core::RunLoop::main().runUntil([] { return BodyBudget::used() == 0; }, 20);
}

// One page can fill the budget alone, but not keep another page out: the
// other's body takes the place of the newest body of the page holding more
// than its part, whose holder hears it; a page over its own part is refused.
TEST(ProxyGuardsTest, NoPageKeepsAnotherOutOfTheBodyBudget) {
    ASSERT_TRUE(budgetEmpty());
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

// Room is made only for a page that stays within its part, and only from
// pages over theirs, each down to its part and no further: a page over its
// part is refused even beside another over its own, a page may take room up
// to its part exactly, and a page that gave down to its part gives no more
// while the next page over its part still holds more.
TEST(ProxyGuardsTest, RoomComesOnlyFromPagesOverTheirPart) {
    ASSERT_TRUE(budgetEmpty());
    std::string lost;
    const auto share = [&lost](std::uint64_t page, char name) {
        return BodyBudget::Share(page, [&lost, name] { lost += name; });
    };
    {
        auto first = share(1, 'a');
        auto second = share(2, 'b');
        auto third = share(3, 'c');
        ASSERT_TRUE(first.grow(60 * kMiB));
        ASSERT_TRUE(second.grow(60 * kMiB));
        ASSERT_TRUE(third.grow(8 * kMiB));
        // Three pages: a part is a third of the budget.
        auto over = share(1, 'd');
        EXPECT_FALSE(over.grow(kMiB));
        EXPECT_FALSE(third.grow(36 * kMiB));
        EXPECT_EQ(lost, "");
        EXPECT_EQ(BodyBudget::used(), BodyBudget::kBytes);
    }
    const std::int64_t part = BodyBudget::kBytes / 3;
    auto a = share(1, 'a');
    auto c = share(2, 'c');
    ASSERT_TRUE(a.grow(part));
    ASSERT_TRUE(c.grow(part));
    // The second page holds the more over its part, so it gives first.
    auto b = share(1, 'b');
    auto d = share(2, 'd');
    ASSERT_TRUE(d.grow(30 * kMiB));
    ASSERT_TRUE(b.grow(BodyBudget::kBytes - 2 * part - 30 * kMiB));
    ASSERT_EQ(BodyBudget::used(), BodyBudget::kBytes);
    auto x = share(3, 'x');
    EXPECT_TRUE(x.grow(part));
    std::sort(lost.begin(), lost.end());
    EXPECT_EQ(lost, "bd");
    EXPECT_EQ(a.bytes(), part);
    EXPECT_EQ(c.bytes(), part);
    EXPECT_EQ(BodyBudget::used(), 3 * part);
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
    ASSERT_FALSE(held.empty());
    held.front().release();
    EXPECT_EQ(started, int(LoadPlaces::kMostPerPage) + 2);
    EXPECT_EQ(places.waiting(), 0u);
    EXPECT_EQ(places.held(), LoadPlaces::kMostPerPage + 1);
    held.clear();
    EXPECT_EQ(places.held(), 0u);
}

// All pages together hold at most kMostInAll places, however few each
// holds; the next load waits for one to come free.
TEST(ProxyGuardsTest, LoadPlacesBoundAllPagesTogether) {
    LoadPlaces places;
    std::vector<LoadPlaces::Place> held;
    held.reserve(LoadPlaces::kMostInAll + 1);
    auto ticket = std::make_shared<int>(0);
    const auto take = [&](std::uint64_t page) {
        places.take(page, ticket,
                    [&](LoadPlaces::Place place) { held.push_back(std::move(place)); });
    };
    for (size_t i = 0; i <= LoadPlaces::kMostInAll; ++i) take(10 + i % 8);
    EXPECT_EQ(places.held(), LoadPlaces::kMostInAll);
    EXPECT_EQ(places.waiting(), 1u);
    ASSERT_FALSE(held.empty());
    held.front().release();
    EXPECT_EQ(places.held(), LoadPlaces::kMostInAll);
    EXPECT_EQ(places.waiting(), 0u);
    held.clear();
}

// The soft descriptor limit is raised to the hard one (or kMostRaised), and
// the proxy's own share follows it.
TEST(ProxyGuardsTest, TheSoftDescriptorLimitIsRaised) {
    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &original), 0);
    const rlim_t wanted = std::min<rlim_t>(original.rlim_max, rlim_t(Descriptors::kMostRaised));
    rlimit lowered = original;
    lowered.rlim_cur = wanted - 1;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    EXPECT_EQ(Descriptors::raiseLimit(), long(wanted));
    rlimit raised{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &raised), 0);
    EXPECT_EQ(raised.rlim_cur, wanted);
    EXPECT_EQ(Descriptors::mostForProxy(), long(wanted) - Descriptors::kReserved);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &original), 0);
    (void)Descriptors::raiseLimit();
}

}  // namespace
