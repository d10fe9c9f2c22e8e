#pragma once
// An ad request. For now only the SDK version that every request and
// mediation ping names.

#include <string>

namespace ads {

class DZRequest {
public:
    // "duzo-sdk-i-v7.22.0"
    [[nodiscard]] static std::string sdkVersion();
};

}  // namespace ads
