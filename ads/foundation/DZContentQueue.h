#pragma once
// The recent contents of content hashing, by sequence number, oldest
// dropped first when the capacity is reached; serves the best-scored one.
// Threading: one queue at a time (content hashing's serial queue).

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "ads/foundation/DZContent.h"

namespace ads {

class DZContentQueue {
public:
    explicit DZContentQueue(size_t queueSize) : size_(queueSize) {}

    // Drops the oldest content first when full; nothing without a content
    // or with a capacity of 0.
    void enqueueContent(const std::shared_ptr<DZContent>& content);
    [[nodiscard]] std::shared_ptr<DZContent> contentWithSequenceNumber(std::uint64_t number) const;
    // The greatest score above 0; of equal scores the one enqueued first.
    [[nodiscard]] std::shared_ptr<DZContent> contentWithHighestScore() const;
    // Of every stored content (other than this very one) with the same
    // fingerprint, the older of the two is removed, the given one included
    // when it is stored and older.
    void deduplicate(const std::shared_ptr<DZContent>& content);

    [[nodiscard]] size_t count() const { return sequenceNumbers_.size(); }
    [[nodiscard]] size_t size() const { return size_; }
    // Sequence numbers, oldest first.
    [[nodiscard]] const std::vector<std::uint64_t>& sequenceNumbers() const {
        return sequenceNumbers_;
    }

private:
    void remove(std::uint64_t number);

    std::map<std::uint64_t, std::shared_ptr<DZContent>> contents_;
    std::vector<std::uint64_t> sequenceNumbers_;
    size_t size_;
};

}  // namespace ads
