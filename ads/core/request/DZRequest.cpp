#include "ads/core/request/DZRequest.h"

namespace ads {

std::string DZRequest::sdkVersion() {
    return "duzo-sdk-i-v7.22.0";
}

}  // namespace ads
