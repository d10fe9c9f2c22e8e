#include "ads/web/net/DZIsHTTPSuccessResponse.h"

namespace ads {

bool DZIsHTTPSuccessResponse(const std::optional<core::HTTPURLResponse>& response) {
    return response && response->statusCode() >= 200 && response->statusCode() <= 299;
}

}  // namespace ads
