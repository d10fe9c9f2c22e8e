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
    Error error = DZErrorWithCodeDescription(kDZErrorInternalError, "Invalid response received.");
    error.httpStatus = httpStatus;
    return error;
}

}  // namespace ads
