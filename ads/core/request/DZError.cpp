#include "ads/core/request/DZError.h"

namespace ads {

Error DZErrorWithCodeDescription(long code, std::string description) {
    Error error;
    error.domain = std::string(kDZErrorDomain);
    error.code = code;
    error.message = std::move(description);
    return error;
}

}  // namespace ads
