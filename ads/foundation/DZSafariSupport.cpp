#include "ads/foundation/DZSafariSupport.h"

#include "core/Unicode.h"
#include "core/UserDefaults.h"
#include "store/SafariViewController.h"

namespace ads {

namespace {

std::shared_ptr<ui::ViewController> makeInAppBrowser(const core::URL& url) {
    return store::SafariViewController::create(url);
}

}  // namespace

std::optional<DZViewControllerClass> DZSafariViewControllerClass() {
    return DZViewControllerClass{"SFSafariViewController", &makeInAppBrowser};
}

bool DZSafariViewControllerSupportsURL(const std::optional<core::URL>& url) {
    if (!url || url->scheme().empty()) return false;
    const core::Array schemes =
        core::UserDefaults::standard()
            ->arrayForKey(kDZSafariSupportedSchemesKey)
            .value_or(core::Array{core::Value("http"), core::Value("https")});
    const std::string scheme = core::Unicode::toLower(url->scheme(), "");
    for (const core::Value& entry : schemes) {
        if (const std::string* text = entry.string();
            text && core::Unicode::toLower(*text, "") == scheme)
            return true;
    }
    return false;
}

}  // namespace ads
