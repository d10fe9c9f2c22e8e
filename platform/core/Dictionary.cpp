#include <algorithm>
#include <functional>
#include <unordered_map>

#include "core/Value.h"

namespace core {

namespace {

// Dictionaries up to this size are searched in order, which beats hashing
// for the handful of keys typical of server responses.
constexpr size_t kIndexedSize = 16;

struct KeyHash {
    using is_transparent = void;
    size_t operator()(std::string_view key) const noexcept {
        return std::hash<std::string_view>{}(key);
    }
};

}  // namespace

struct Dictionary::Index {
    std::unordered_map<std::string, size_t, KeyHash, std::equal_to<>> positions;
};

Dictionary::Dictionary() = default;

Dictionary::Dictionary(std::initializer_list<Entry> entries) {
    reserve(entries.size());
    for (const Entry& entry : entries) set(entry.first, entry.second);
}

Dictionary::Dictionary(const Dictionary& other)
    : entries_(other.entries_),
      index_(other.index_ ? std::make_unique<Index>(*other.index_) : nullptr) {}

Dictionary::Dictionary(Dictionary&& other) noexcept = default;

Dictionary& Dictionary::operator=(const Dictionary& other) {
    if (this != &other) *this = Dictionary(other);
    return *this;
}

Dictionary& Dictionary::operator=(Dictionary&& other) noexcept = default;

Dictionary::~Dictionary() = default;

std::optional<size_t> Dictionary::positionOf(std::string_view key) const {
    if (index_) {
        const auto found = index_->positions.find(key);
        if (found == index_->positions.end()) return std::nullopt;
        return found->second;
    }
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].first == key) return i;
    }
    return std::nullopt;
}

bool Dictionary::contains(std::string_view key) const {
    return positionOf(key).has_value();
}

const Value* Dictionary::find(std::string_view key) const {
    const auto position = positionOf(key);
    return position ? &entries_[*position].second : nullptr;
}

Value* Dictionary::find(std::string_view key) {
    const auto position = positionOf(key);
    return position ? &entries_[*position].second : nullptr;
}

const Value& Dictionary::operator[](std::string_view key) const {
    const Value* value = find(key);
    return value ? *value : Value::null();
}

void Dictionary::set(std::string key, Value value) {
    if (Value* existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    entries_.emplace_back(std::move(key), std::move(value));
    if (index_) {
        index_->positions.emplace(entries_.back().first, entries_.size() - 1);
    } else if (entries_.size() > kIndexedSize) {
        index_ = std::make_unique<Index>();
        reindexFrom(0);
    }
}

Value& Dictionary::at(std::string_view key) {
    if (Value* existing = find(key)) return *existing;
    set(std::string(key), Value());
    return entries_.back().second;
}

bool Dictionary::remove(std::string_view key) {
    const auto position = positionOf(key);
    if (!position) return false;
    if (index_) index_->positions.erase(index_->positions.find(key));
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(*position));
    if (entries_.size() <= kIndexedSize) {
        index_.reset();
    } else {
        reindexFrom(*position);
    }
    return true;
}

void Dictionary::clear() {
    entries_.clear();
    index_.reset();
}

void Dictionary::reserve(size_t count) {
    entries_.reserve(count);
}

std::vector<std::string> Dictionary::keys() const {
    std::vector<std::string> result;
    result.reserve(entries_.size());
    for (const Entry& entry : entries_) result.push_back(entry.first);
    return result;
}

void Dictionary::reindexFrom(size_t position) {
    for (size_t i = position; i < entries_.size(); ++i) {
        index_->positions.insert_or_assign(entries_[i].first, i);
    }
}

bool operator==(const Dictionary& a, const Dictionary& b) {
    if (a.size() != b.size()) return false;
    return std::all_of(a.begin(), a.end(), [&b](const Dictionary::Entry& entry) {
        const Value* other = b.find(entry.first);
        return other && *other == entry.second;
    });
}

}  // namespace core
