#include "ads/web/intercept/DZMRAIDInterceptor.h"

#include "ads/foundation/DZCallLog.h"

namespace ads {

std::shared_ptr<DZMRAIDInterceptor> DZMRAIDInterceptor::sharedInstance() {
    return DZSeamSharedInstance<DZMRAIDInterceptor>("DZMRAIDInterceptor");
}

bool DZMRAIDInterceptor::canRedirect() const {
    DZCallLog::record("DZMRAIDInterceptor.canRedirect");
    return false;
}

std::optional<std::string> DZMRAIDInterceptor::MRAIDURLStringForAdView(const DZAdView&) const {
    DZCallLog::record("DZMRAIDInterceptor.MRAIDURLStringForAdView:");
    return std::nullopt;
}

}  // namespace ads
