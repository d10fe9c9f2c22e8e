#include "ads/foundation/DZNetworkErrors.h"

namespace ads {

namespace {

long platformCode(core::NetworkError::Code code) {
    using Code = core::NetworkError::Code;
    switch (code) {
    case Code::cancelled:
        return -999;
    case Code::timedOut:
        return -1001;
    case Code::unsupportedURL:
        return -1002;
    case Code::cannotFindHost:
        return -1003;
    case Code::cannotConnectToHost:
        return -1004;
    case Code::networkConnectionLost:
        return -1005;
    case Code::httpTooManyRedirects:
        return -1007;
    case Code::badServerResponse:
        return -1011;
    case Code::secureConnectionFailed:
        return -1200;
    case Code::unknown:
        break;
    }
    return -1;
}

}  // namespace

Error DZErrorFromNetworkError(const core::NetworkError& error) {
    Error converted;
    converted.domain = std::string(kDZNetworkErrorDomain);
    converted.code = platformCode(error.code);
    converted.message = error.message;
    return converted;
}

Error DZInvalidResponseError(int httpStatus) {
    return DZErrorWithCodeStatusDescription(kDZErrorInternalError, httpStatus,
                                            "Invalid response received.");
}

}  // namespace ads
