#include "ads/foundation/DZContentQueue.h"

#include <algorithm>
#include <set>

namespace ads {

void DZContentQueue::enqueueContent(const std::shared_ptr<DZContent>& content) {
    if (!content || size_ == 0) return;
    remove(content->sequenceNumber());
    while (sequenceNumbers_.size() >= size_) remove(sequenceNumbers_.front());
    contents_[content->sequenceNumber()] = content;
    sequenceNumbers_.push_back(content->sequenceNumber());
}

std::shared_ptr<DZContent> DZContentQueue::contentWithSequenceNumber(std::uint64_t number) const {
    const auto found = contents_.find(number);
    return found == contents_.end() ? nullptr : found->second;
}

std::shared_ptr<DZContent> DZContentQueue::contentWithHighestScore() const {
    std::shared_ptr<DZContent> best;
    for (const std::uint64_t number : sequenceNumbers_) {
        const auto& content = contents_.at(number);
        if (content->score() <= 0) continue;
        if (!best || content->score() > best->score()) best = content;
    }
    return best;
}

void DZContentQueue::deduplicate(const std::shared_ptr<DZContent>& content) {
    if (!content) return;
    std::set<std::uint64_t> marked;
    for (const auto& [number, stored] : contents_) {
        if (stored == content || stored->fingerprint() != content->fingerprint()) continue;
        marked.insert(std::min(number, content->sequenceNumber()));
    }
    for (const std::uint64_t number : marked) remove(number);
}

void DZContentQueue::remove(std::uint64_t number) {
    contents_.erase(number);
    std::erase(sequenceNumbers_, number);
}

}  // namespace ads
