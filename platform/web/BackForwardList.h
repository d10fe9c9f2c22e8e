#pragma once
// The session history a "UI"-kind web view keeps itself: the engine keeps
// none for the documents the app hands it. Its entries are the main frame's
// documents by URL, oldest first, kept as the engine keeps its own for the
// "WK" kind: a new document goes after the current entry and drops the
// entries forward of it; a document of the current entry's URL, a reload
// and a step to an entry add none. At most kMostEntries, the oldest going
// first. Plain data; main thread.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace web {

class BackForwardList {
public:
    static constexpr size_t kMostEntries = 100;

    // How a committed document changes the list.
    enum class Change {
        load,    // a new document
        reload,  // the current entry's again
        step,    // the entry a history step went to
    };

    [[nodiscard]] size_t size() const { return entries_.size(); }
    [[nodiscard]] std::optional<size_t> current() const { return current_; }
    [[nodiscard]] const std::string& url(size_t entry) const { return entries_.at(entry); }
    [[nodiscard]] bool canGoBack() const { return entryAt(-1).has_value(); }
    [[nodiscard]] bool canGoForward() const { return entryAt(1).has_value(); }
    // The entry offset entries from the current one (negative: back), when
    // there is one.
    [[nodiscard]] std::optional<size_t> entryAt(long offset) const;

    // A main-frame document of url committed. entry: the one a step went to
    // (its URL becomes url, which a redirect may have changed); a step to
    // an entry the list no longer has, and a reload with no current entry,
    // count as a new document.
    void commit(const std::string& url, Change change, size_t entry = 0);

private:
    std::vector<std::string> entries_;
    std::optional<size_t> current_;
};

}  // namespace web
