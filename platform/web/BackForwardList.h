#pragma once
// The session history a "UI"-kind web view keeps itself: the engine keeps
// none for the documents the app hands it. Its entries are the main frame's
// documents by URL, oldest first, kept as the engine keeps its own for the
// "WK" kind: a new document goes after the current entry and drops the
// entries forward of it; a GET of the current entry's URL, a reload and a
// step to an entry add none. Navigations within a document (a fragment,
// pushState) add entries of the current entry's document, and replaceState
// changes the current entry; a step between entries of one document loads
// nothing. A document that a step or a reload brings back stands for every
// entry of the one it replaces. At most kMostEntries, the oldest going
// first. Plain data; main thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/URLRequest.h"
#include "core/Value.h"

namespace web {

class BackForwardList {
public:
    static constexpr size_t kMostEntries = 100;

    struct Entry {
        std::string url;
        // How the entry's document is asked for: a form's POST is sent
        // again, body and content type included, by a step that loads it.
        std::string method = "GET";
        core::Data body;
        std::optional<std::string> contentType;
        // The document the entry belongs to: a number the owner gives each
        // document it records, 0 for none. Entries of one known document
        // are steps within it.
        std::uint64_t document = 0;
        // What the page gave the entry with pushState or replaceState.
        core::Value state;

        // Takes the method, body and content type of the request.
        void askFor(const core::URLRequest& request);
        // The request that asks for the entry's document at url.
        [[nodiscard]] core::URLRequest request(const core::URL& url) const;
    };

    // How a committed document changes the list.
    enum class Change {
        load,    // a new document
        reload,  // the current entry's again
        step,    // the entry a history step went to
    };

    [[nodiscard]] size_t size() const { return entries_.size(); }
    [[nodiscard]] std::optional<size_t> current() const { return current_; }
    [[nodiscard]] const std::string& url(size_t entry) const { return entries_.at(entry).url; }
    [[nodiscard]] const Entry& entry(size_t entry) const { return entries_.at(entry); }
    [[nodiscard]] bool canGoBack() const { return entryAt(-1).has_value(); }
    [[nodiscard]] bool canGoForward() const { return entryAt(1).has_value(); }
    // The entry offset entries from the current one (negative: back), when
    // there is one.
    [[nodiscard]] std::optional<size_t> entryAt(long offset) const;
    // Whether both entries belong to one known document.
    [[nodiscard]] bool sameDocument(size_t first, size_t second) const;

    // A main-frame document of url committed. entry: the one a step went to
    // (its URL becomes url, which a redirect may have changed); a step to
    // an entry the list no longer has, and a reload with no current entry,
    // count as a new document.
    void commit(const std::string& url, Change change, size_t entry = 0);
    // The same for a document asked for as the entry says (its state is
    // not read: a step and a reload keep the state the entry had).
    void commit(Entry document, Change change, size_t entry = 0);
    // A navigation within the current entry's document (a fragment,
    // pushState): a new entry of that document after the current one.
    // Nothing without a current entry.
    void push(Entry entry);
    // replaceState: the current entry's URL and state; its document is
    // asked for with a GET from then on.
    void replace(std::string url, core::Value state);
    // A step within one document: the entry becomes the current one.
    void moveTo(size_t entry);

private:
    void append(Entry entry);

    std::vector<Entry> entries_;
    std::optional<size_t> current_;
};

}  // namespace web
