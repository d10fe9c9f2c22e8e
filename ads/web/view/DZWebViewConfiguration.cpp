#include "ads/web/view/DZWebViewConfiguration.h"

#include "core/UserDefaults.h"

namespace ads {

DZWebViewConfiguration::DZWebViewConfiguration() {
    const auto defaults = core::UserDefaults::standard();
    mediaPlaybackRequiresUserAction_ = defaults->boolForKey(kPreventAutoplayKey);
    const core::Value kind = defaults->objectForKey(kWebViewClassKey);
    webViewClassKey_ = kind.isString() && !kind.stringValue().empty() ? kind.stringValue() : "ui";
}

}  // namespace ads
