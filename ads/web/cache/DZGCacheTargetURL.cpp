#include "ads/web/cache/DZGCacheTargetURL.h"

#include "ads/foundation/DZQueryParameters.h"

namespace ads {

bool DZIsGCacheURL(const core::URL& url) {
    return url.scheme() == kDZGCacheURLScheme;
}

std::optional<core::URL> DZGCacheTargetURL(const core::URL& url) {
    if (!DZIsGCacheURL(url)) return std::nullopt;
    const auto target = DZQueryValueForKey(url, "url");
    return target ? core::URL::create(*target) : std::nullopt;
}

}  // namespace ads
