#pragma once
// The loaded banner slots filed under one banner key, oldest first, at most
// "dzads:banner_ad_pool:max_queues" of them (3 by default, read at each
// addition). Not thread-safe: the banner cache uses it on its queue.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>

namespace ads {

class DZSlot;

class DZBannerPool {
public:
    static constexpr std::string_view kMaxQueuesKey = "/dozuza/ads/dzads:banner_ad_pool:max_queues";
    static constexpr std::int64_t kDefaultMaxQueues = 3;

    // The entry becomes the newest; the oldest go while the pool is full.
    void addEntry(const std::shared_ptr<DZSlot>& entry);
    // Takes the oldest entry out; nullptr when empty.
    [[nodiscard]] std::shared_ptr<DZSlot> nextEntry();
    void removeEntry(const std::shared_ptr<DZSlot>& entry);
    [[nodiscard]] size_t count() const { return bannerPool_.size(); }
    [[nodiscard]] const std::deque<std::shared_ptr<DZSlot>>& entries() const { return bannerPool_; }

    // The server's limit, or the default when it has none that is usable.
    [[nodiscard]] static std::int64_t maxQueues();

private:
    std::deque<std::shared_ptr<DZSlot>> bannerPool_;
};

}  // namespace ads
