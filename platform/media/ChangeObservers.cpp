#include "media/ChangeObservers.h"

#include <algorithm>
#include <utility>

namespace media {

ChangeObservers::Token ChangeObservers::add(std::string keyPath, Callback callback) {
    auto entry = std::make_shared<Entry>();
    entry->id = nextId_++;
    entry->keyPath = std::move(keyPath);
    entry->callback = std::move(callback);
    entries_.push_back(entry);
    return Token{entry->id};
}

void ChangeObservers::remove(Token token) {
    for (auto& entry : entries_) {
        if (entry->id == token.id) entry->removed = true;
    }
    std::erase_if(entries_, [&](const auto& entry) { return entry->id == token.id; });
}

void ChangeObservers::notify(const std::string& keyPath) {
    std::vector<std::shared_ptr<Entry>> matching;
    for (const auto& entry : entries_) {
        if (entry->keyPath == keyPath) matching.push_back(entry);
    }
    for (const auto& entry : matching) {
        if (!entry->removed) entry->callback(keyPath);
    }
}

bool ChangeObservers::isObserved(const std::string& keyPath) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const auto& entry) { return entry->keyPath == keyPath; });
}

}  // namespace media
