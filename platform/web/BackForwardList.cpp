#include "web/BackForwardList.h"

namespace web {

std::optional<size_t> BackForwardList::entryAt(long offset) const {
    if (!current_) return std::nullopt;
    const long target = long(*current_) + offset;
    if (target < 0 || target >= long(entries_.size())) return std::nullopt;
    return size_t(target);
}

void BackForwardList::commit(const std::string& url, Change change, size_t entry) {
    if (change == Change::step && entry < entries_.size()) {
        current_ = entry;
        entries_[entry] = url;
        return;
    }
    // A load of the current entry's URL is a reload of it.
    if (current_ && (change == Change::reload || entries_[*current_] == url)) {
        entries_[*current_] = url;
        return;
    }
    if (current_) entries_.resize(*current_ + 1);
    entries_.push_back(url);
    if (entries_.size() > kMostEntries) entries_.erase(entries_.begin());
    current_ = entries_.size() - 1;
}

}  // namespace web
