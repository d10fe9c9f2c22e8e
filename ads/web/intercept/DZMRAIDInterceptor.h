#pragma once
// The process-wide authority on swapping an ad page's "mraid.js" for the
// SDK's own MRAID script. Substitution is not built yet: the interceptor
// cannot redirect and names no script for any ad view. Each call is
// recorded in DZCallLog ("DZMRAIDInterceptor.canRedirect", ...). Any thread.

#include <memory>
#include <optional>
#include <string>

namespace ads {

class DZAdView;

class DZMRAIDInterceptor {
public:
    [[nodiscard]] static std::shared_ptr<DZMRAIDInterceptor> sharedInstance();
    DZMRAIDInterceptor() = default;

    // Whether substitution is on: never yet.
    [[nodiscard]] bool canRedirect() const;
    // The MRAID script URL for the ad view's kind of ad: none yet.
    [[nodiscard]] std::optional<std::string> MRAIDURLStringForAdView(const DZAdView& adView) const;
};

}  // namespace ads
