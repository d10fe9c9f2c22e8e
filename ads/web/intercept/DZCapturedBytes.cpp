#include "ads/web/intercept/DZCapturedBytes.h"

#include <algorithm>

#include "ads/foundation/DZHashing.h"

namespace ads {

size_t DZCapturedBytes::append(std::span<const std::uint8_t> bytes, size_t limit,
                               size_t allowance) {
    length_ += bytes.size();
    const size_t room = limit > kept_.size() ? limit - kept_.size() : 0;
    const size_t keep = std::min({bytes.size(), room, allowance});
    kept_.insert(kept_.end(), bytes.begin(), bytes.begin() + std::ptrdiff_t(keep));
    return keep;
}

void DZCapturedBytes::addReportEntries(core::Dictionary& dictionary) const {
    if (empty()) return;
    dictionary.set("body", DZBase64String(kept_));
    dictionary.set("bodydigest", DZBase64String(DZMD5Digest(kept_)));
    dictionary.set("bodylength", static_cast<std::int64_t>(length_));
}

}  // namespace ads
