#include "ads/foundation/DZNetworkErrors.h"

namespace ads {

Error DZErrorFromNetworkError(const core::NetworkError& error) {
    Error converted;
    converted.domain = std::string(kDZNetworkErrorDomain);
    converted.code = error.platformCode();
    converted.message = error.message;
    return converted;
}

Error DZInvalidResponseError(int httpStatus) {
    return DZErrorWithCodeStatusDescription(kDZErrorInternalError, httpStatus,
                                            "Invalid response received.");
}

}  // namespace ads
