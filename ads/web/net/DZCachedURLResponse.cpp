#include "ads/web/net/DZCachedURLResponse.h"

namespace ads {

std::shared_ptr<DZCachedURLResponse> DZCachedURLResponse::create(
    std::optional<core::HTTPURLResponse> response, std::optional<core::Data> data,
    std::optional<core::Date> expirationDate, std::optional<core::URL> destinationURL) {
    if (!response || !data || !expirationDate) return nullptr;
    return std::make_shared<DZCachedURLResponse>(
        core::CachedURLResponse(std::move(*response), std::move(*data)), *expirationDate,
        std::move(destinationURL));
}

}  // namespace ads
