#include "web/BackForwardList.h"

#include <utility>

namespace web {

std::optional<size_t> BackForwardList::entryAt(long offset) const {
    if (!current_) return std::nullopt;
    const long target = long(*current_) + offset;
    if (target < 0 || target >= long(entries_.size())) return std::nullopt;
    return size_t(target);
}

void BackForwardList::Entry::askFor(const core::URLRequest& request) {
    method = request.method();
    body = request.body();
    contentType = request.value("Content-Type");
}

core::URLRequest BackForwardList::Entry::request(const core::URL& url) const {
    core::URLRequest request(url);
    if (method != "GET") {
        request.setMethod(method);
        request.setBody(body);
        if (contentType) request.setValue("Content-Type", *contentType);
    }
    return request;
}

bool BackForwardList::sameDocument(size_t first, size_t second) const {
    return first < entries_.size() && second < entries_.size() && entries_[first].document != 0 &&
           entries_[first].document == entries_[second].document;
}

void BackForwardList::commit(const std::string& url, Change change, size_t entry) {
    Entry document;
    document.url = url;
    commit(std::move(document), change, entry);
}

void BackForwardList::commit(Entry document, Change change, size_t entry) {
    document.state = core::Value();
    // A step or a reload brings the entry's document back: it keeps the
    // entry's state, and the entries of the document it replaces are its.
    const auto bringBack = [&](size_t index) {
        Entry& replaced = entries_[index];
        const std::uint64_t old = replaced.document;
        document.state = std::move(replaced.state);
        replaced = std::move(document);
        if (old == 0) return;
        for (Entry& other : entries_)
            if (other.document == old) other.document = replaced.document;
    };
    if (change == Change::step && entry < entries_.size()) {
        current_ = entry;
        bringBack(entry);
        return;
    }
    if (current_ && change == Change::reload) {
        bringBack(*current_);
        return;
    }
    // A GET of the current entry's URL is a new document in its place (a
    // POST to it is a new entry).
    if (current_ && entries_[*current_].url == document.url && document.method == "GET") {
        entries_[*current_] = std::move(document);
        return;
    }
    append(std::move(document));
}

void BackForwardList::push(Entry entry) {
    if (!current_) return;
    entry.document = entries_[*current_].document;
    append(std::move(entry));
}

void BackForwardList::replace(std::string url, core::Value state) {
    if (!current_) return;
    Entry& entry = entries_[*current_];
    entry.url = std::move(url);
    entry.state = std::move(state);
    entry.method = "GET";
    entry.body.clear();
    entry.contentType.reset();
}

void BackForwardList::moveTo(size_t entry) {
    if (entry < entries_.size()) current_ = entry;
}

void BackForwardList::append(Entry entry) {
    if (current_) entries_.resize(*current_ + 1);
    entries_.push_back(std::move(entry));
    if (entries_.size() > kMostEntries) entries_.erase(entries_.begin());
    current_ = entries_.size() - 1;
}

}  // namespace web
