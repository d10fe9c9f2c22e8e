#include "ads/foundation/DZShingleHashTuple.h"

#include <utility>

namespace ads {

DZShingleHashTuple::DZShingleHashTuple(std::vector<std::string> shingle, std::uint64_t hashValue)
    : shingle_(std::move(shingle)), hashValue_(hashValue) {}

int DZShingleHashTuple::compare(const DZShingleHashTuple& a, const DZShingleHashTuple& b) {
    if (a.shingle_.size() != b.shingle_.size()) {
        return a.shingle_.size() < b.shingle_.size() ? -1 : 1;
    }
    if (a.hashValue_ != b.hashValue_) return a.hashValue_ < b.hashValue_ ? -1 : 1;
    return 0;
}

}  // namespace ads
