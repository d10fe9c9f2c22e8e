// The history a "UI"-kind web view keeps: where committed documents go, the
// entries a document makes within itself, the form posts it keeps, and what
// its bound drops.

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

BackForwardList::Entry entry(std::string url, std::uint64_t document, std::string method = "GET") {
    BackForwardList::Entry made;
    made.url = std::move(url);
    made.document = document;
    made.method = std::move(method);
    return made;
}

TEST(BackForwardList, EntriesWithinADocumentStayItsOwnWhenAStepBringsItBack) {
    BackForwardList list;
    list.commit(entry("http://h/a", 1), Change::load);
    list.push(entry("http://h/a#x", 0));
    BackForwardList::Entry pushed = entry("http://h/one", 0);
    pushed.state = core::Value(1);
    list.push(pushed);
    list.replace("http://h/two", core::Value(2));
    EXPECT_EQ(list.size(), 3u);
    EXPECT_TRUE(list.sameDocument(0, 2));
    EXPECT_EQ(list.url(2), "http://h/two");
    EXPECT_EQ(list.entry(2).state, core::Value(2));

    list.commit(entry("http://h/b", 2), Change::load);
    EXPECT_FALSE(list.sameDocument(2, 3));
    // The document a step loads anew stands for the entries of the old
    // one, and the entry keeps its state.
    list.commit(entry("http://h/two", 3), Change::step, 2);
    EXPECT_EQ(list.entry(2).state, core::Value(2));
    EXPECT_EQ(list.entry(0).document, 3u);
    EXPECT_TRUE(list.sameDocument(0, 2));
    EXPECT_FALSE(list.sameDocument(2, 3));
    list.moveTo(0);
    EXPECT_EQ(list.current(), 0u);
    EXPECT_EQ(list.size(), 4u);
    // An entry added within the document drops those forward of it.
    list.push(entry("http://h/a#y", 0));
    EXPECT_EQ(list.size(), 2u);
    EXPECT_FALSE(list.canGoForward());
}

TEST(BackForwardList, APostIsAnEntryOfItsOwnEvenAtTheCurrentURL) {
    BackForwardList list;
    list.commit(entry("http://h/form", 1), Change::load);
    BackForwardList::Entry post = entry("http://h/form", 2, "POST");
    post.body = {'q', '=', '1'};
    post.contentType = "application/x-www-form-urlencoded";
    list.commit(post, Change::load);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list.entry(1).method, "POST");
    EXPECT_EQ(list.entry(1).body, post.body);
    // A GET of it takes its place; replaceState leaves a GET.
    list.commit(entry("http://h/form", 3), Change::load);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(list.entry(1).method, "GET");
    list.commit(post, Change::load);
    list.replace("http://h/form?sent", core::Value());
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(list.entry(2).method, "GET");
    EXPECT_TRUE(list.entry(2).body.empty());
    EXPECT_FALSE(list.entry(2).contentType);
}

}  // namespace
