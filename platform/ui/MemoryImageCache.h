#pragma once
// Decoded images by key, bounded by their total cost (pixel bytes): storing
// past the limit drops the least recently used images first. An image that
// alone costs more than the limit is not kept. Safe from any thread.

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

#include "gfx/Image.h"

namespace ui {

class MemoryImageCache {
public:
    explicit MemoryImageCache(std::uint64_t maxCost);

    [[nodiscard]] static std::uint64_t cost(const gfx::Image& image);

    // Null when absent; a hit makes the image the most recently used.
    [[nodiscard]] gfx::ImagePtr image(const std::string& key);
    [[nodiscard]] bool contains(const std::string& key) const;
    void insert(const std::string& key, gfx::ImagePtr image);
    void remove(const std::string& key);
    void removeAll();

    [[nodiscard]] std::uint64_t maxCost() const;
    // Drops images at once when the new limit is below the total cost.
    void setMaxCost(std::uint64_t maxCost);
    [[nodiscard]] std::uint64_t totalCost() const;
    [[nodiscard]] size_t count() const;

private:
    using Entry = std::pair<std::string, gfx::ImagePtr>;

    void removeLocked(std::list<Entry>::iterator entry);
    void trimLocked();

    mutable std::mutex mutex_;
    std::uint64_t maxCost_;
    std::uint64_t totalCost_ = 0;
    // Most recently used first.
    std::list<Entry> entries_;
    std::unordered_map<std::string, std::list<Entry>::iterator> index_;
};

}  // namespace ui
