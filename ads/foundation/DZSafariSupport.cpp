#include "ads/foundation/DZSafariSupport.h"

#include "core/Unicode.h"
#include "core/UserDefaults.h"

namespace ads {

bool DZSafariViewControllerSupportsURL(const std::optional<core::URL>& url) {
    if (!url || url->scheme().empty()) return false;
    const core::Array schemes =
        core::UserDefaults::standard()
            ->arrayForKey(kDZSafariSupportedSchemesKey)
            .value_or(core::Array{core::Value("http"), core::Value("https")});
    const std::string scheme = core::Unicode::toLower(url->scheme(), "");
    for (const core::Value& entry : schemes) {
        if (const std::string* text = entry.string(); text && *text == scheme) return true;
    }
    return false;
}

}  // namespace ads
