#pragma once
// Keeps a feed's load-more path from asking for page after page when the
// service answers with pages that bring nothing new: after kMaxEmptyPages
// load-more pages in a row that brought no new item, loading more stops
// until the next refresh starts. A failed request does not count: the next
// scroll to the bottom asks for the same page again. A plain value, kept by
// one feed on the main thread.

namespace app {

class LoadMoreLimiter {
public:
    static constexpr int kMaxEmptyPages = 3;

    // Whether a load-more request may be sent now.
    [[nodiscard]] bool allowsLoadMore() const { return !stopped_; }
    [[nodiscard]] int consecutiveEmptyPages() const { return emptyPages_; }

    // A refresh started: loading more is allowed again.
    void refreshStarted();
    // A load-more page arrived. True when the feed may ask for the next page
    // at once (the page was empty and the limit is not reached yet); false
    // when it brought new items, or when it was the last empty page allowed,
    // which stops loading more.
    [[nodiscard]] bool shouldRequestAfterPage(bool broughtNewItems);

private:
    bool stopped_ = false;
    int emptyPages_ = 0;
};

}  // namespace app
