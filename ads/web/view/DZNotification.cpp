#include "ads/web/view/DZNotification.h"

#include "ads/foundation/DZQueryParameters.h"
#include "core/PercentEncoding.h"
#include "core/StringFormat.h"

namespace ads {

bool DZNotification::isNotificationURL(const std::optional<core::URL>& url) {
    return url && url->hasScheme("dmsg");
}

std::shared_ptr<const DZNotification> DZNotification::create(const std::optional<core::URL>& url) {
    if (!isNotificationURL(url)) return nullptr;
    // The path as the page meant it, without its leading "/".
    const std::optional<std::string> path = core::percentDecode(url->path());
    if (!path || path->size() < 2) return nullptr;
    return create(path->substr(1), DZQueryDictionaryFromURL(url, false));
}

std::shared_ptr<const DZNotification> DZNotification::create(std::string name,
                                                             core::Dictionary parameters) {
    if (name.empty()) return nullptr;
    return std::make_shared<const DZNotification>(Token{}, std::move(name), std::move(parameters));
}

std::string DZNotification::description() const {
    return core::format("<%@: %p> name:%@ parameters:%@", "DZNotification",
                        static_cast<const void*>(this), name_, core::Value(parameters_));
}

}  // namespace ads
