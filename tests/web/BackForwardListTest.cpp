// The history a "UI"-kind web view keeps: where committed documents go, and
// what its bound drops.

#include "web/BackForwardList.h"

#include <gtest/gtest.h>

namespace {

using web::BackForwardList;
using Change = BackForwardList::Change;

TEST(BackForwardList, ALoadOfTheCurrentURLAddsNothingAndKeepsTheEntriesForward) {
    BackForwardList list;
    EXPECT_FALSE(list.canGoBack());
    list.commit("http://h/a", Change::reload);  // nothing current: a new entry
    list.commit("http://h/b", Change::load);
    list.commit("http://h/a", Change::step, 0);
    list.commit("http://h/a", Change::load);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(list.current(), 0u);
    EXPECT_TRUE(list.canGoForward());

    // A step whose load was redirected: its entry takes the final URL.
    list.commit("http://h/b2", Change::step, 1);
    EXPECT_EQ(list.url(1), "http://h/b2");
    EXPECT_EQ(list.entryAt(-1), 0u);
    EXPECT_EQ(list.entryAt(-2), std::nullopt);
    EXPECT_EQ(list.entryAt(1), std::nullopt);
}

TEST(BackForwardList, TheOldestEntryGoesAtTheBound) {
    BackForwardList list;
    for (size_t i = 0; i <= BackForwardList::kMostEntries; ++i)
        list.commit("http://h/" + std::to_string(i), Change::load);
    EXPECT_EQ(list.size(), BackForwardList::kMostEntries);
    EXPECT_EQ(list.url(0), "http://h/1");
    EXPECT_EQ(list.current(), BackForwardList::kMostEntries - 1);

    // A step to an entry dropped meanwhile is a new document.
    list.commit("http://h/old", Change::step, BackForwardList::kMostEntries);
    EXPECT_EQ(list.url(*list.current()), "http://h/old");
    EXPECT_EQ(list.url(0), "http://h/2");
}

}  // namespace
