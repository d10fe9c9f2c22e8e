#include "ui/MemoryImageCache.h"

#include <iterator>

namespace ui {

MemoryImageCache::MemoryImageCache(std::uint64_t maxCost) : maxCost_(maxCost) {}

std::uint64_t MemoryImageCache::cost(const gfx::Image& image) {
    return std::uint64_t(image.pixelWidth()) * std::uint64_t(image.pixelHeight()) * 4;
}

gfx::ImagePtr MemoryImageCache::image(const std::string& key) {
    std::lock_guard lock(mutex_);
    const auto found = index_.find(key);
    if (found == index_.end()) return nullptr;
    entries_.splice(entries_.begin(), entries_, found->second);
    return found->second->second;
}

bool MemoryImageCache::contains(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return index_.contains(key);
}

void MemoryImageCache::insert(const std::string& key, gfx::ImagePtr image) {
    if (!image) return;
    std::lock_guard lock(mutex_);
    if (const auto found = index_.find(key); found != index_.end()) removeLocked(found->second);
    const std::uint64_t imageCost = cost(*image);
    if (imageCost > maxCost_) return;
    entries_.emplace_front(key, std::move(image));
    index_[key] = entries_.begin();
    totalCost_ += imageCost;
    trimLocked();
}

void MemoryImageCache::remove(const std::string& key) {
    std::lock_guard lock(mutex_);
    if (const auto found = index_.find(key); found != index_.end()) removeLocked(found->second);
}

void MemoryImageCache::removeAll() {
    std::lock_guard lock(mutex_);
    entries_.clear();
    index_.clear();
    totalCost_ = 0;
}

std::uint64_t MemoryImageCache::maxCost() const {
    std::lock_guard lock(mutex_);
    return maxCost_;
}

void MemoryImageCache::setMaxCost(std::uint64_t maxCost) {
    std::lock_guard lock(mutex_);
    maxCost_ = maxCost;
    trimLocked();
}

std::uint64_t MemoryImageCache::totalCost() const {
    std::lock_guard lock(mutex_);
    return totalCost_;
}

size_t MemoryImageCache::count() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

void MemoryImageCache::removeLocked(std::list<Entry>::iterator entry) {
    totalCost_ -= cost(*entry->second);
    index_.erase(entry->first);
    entries_.erase(entry);
}

void MemoryImageCache::trimLocked() {
    while (totalCost_ > maxCost_ && !entries_.empty()) removeLocked(std::prev(entries_.end()));
}

}  // namespace ui
