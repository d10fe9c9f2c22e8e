#include "ads/web/view/DZNotification.h"

#include "ads/foundation/DZQueryParameters.h"
#include "core/PercentEncoding.h"
#include "core/StringFormat.h"

namespace ads {

bool DZNotification::isNotificationURL(const std::optional<core::URL>& url) {
    return url && isNotificationURL(*url);
}

bool DZNotification::isNotificationURL(const core::URL& url) {
    return url.hasScheme(kScheme);
}

std::shared_ptr<const DZNotification> DZNotification::create(const std::optional<core::URL>& url) {
    if (!isNotificationURL(url)) return nullptr;
    // The path as the page meant it, without its leading "/". A path
    // without one ("dmsg:saveState") is no path: the name is never guessed
    // by dropping a character.
    const std::string& raw = url->path();
    if (raw.size() < 2 || raw.front() != '/') return nullptr;
    const std::optional<std::string> name = core::percentDecode(std::string_view(raw).substr(1));
    if (!name || !isPlainName(*name)) return nullptr;
    return create(*name, DZQueryDictionaryFromURL(url, false));
}

bool DZNotification::isPlainName(std::string_view name) {
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || byte < 0x20 || byte == 0x7F) return false;
    }
    return !name.empty();
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
