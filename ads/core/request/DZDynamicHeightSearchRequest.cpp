#include "ads/core/request/DZDynamicHeightSearchRequest.h"

#include <algorithm>
#include <vector>

#include "ads/foundation/DZQueryParameters.h"
#include "core/StringFormat.h"
#include "core/UserDefaults.h"

namespace ads {

void DZDynamicHeightSearchRequest::parameterHelperSetValue(const core::Value& value,
                                                           std::string_view key) {
    if (!value.isString() && !value.isNumber()) return;
    requestParameters_.set(std::string(key), value);
}

std::string DZDynamicHeightSearchRequest::dynamicHeightAdURLFragmentsWithAdUnitID(
    std::string_view adUnitID) const {
    core::Dictionary fragment;
    for (const auto& [key, value] : requestParameters_) {
        if (key == "customDomain") continue;
        fragment.set(DZPercentEscapedString(key), value.isString()
                                                      ? DZPercentEscapedString(*value.string())
                                                      : value.stringValue());
    }
    if (const auto signal = DZRdiimSignalParameter()) {
        for (const auto& [key, value] : *signal) fragment.set(key, value.stringValue());
    }
    fragment.set("pubId", DZPercentEscapedString(adUnitID));
    fragment.set("SDKVersion", sdkVersion());
    fragment.set("OSType", "iOS");

    std::vector<std::pair<std::string, std::string>> pairs;
    for (const auto& [key, value] : fragment) pairs.emplace_back(key, value.stringValue());
    std::sort(pairs.begin(), pairs.end());
    std::string text;
    for (const auto& [key, value] : pairs) {
        if (!text.empty()) text += '&';
        text += core::format("%@=%@", key, value);
    }
    return text;
}

std::string DZDynamicHeightSearchRequest::host() const {
    const core::Value& custom = requestParameters_["customDomain"];
    if (custom.isString() && !custom.string()->empty()) return *custom.string();
    const auto configured =
        core::UserDefaults::standard()->stringForKey(std::string(kSearchHostKey));
    return configured && !configured->empty() ? *configured : std::string(kDefaultSearchHost);
}

std::optional<core::URL> DZDynamicHeightSearchRequest::CSADynamicHeightSearchRequestURLWithAdUnitID(
    std::string_view adUnitID) const {
    return core::URL::create(core::format("%@://%@/%@#%@", "https", host(),
                                          "afs/ads/i/webview.html",
                                          dynamicHeightAdURLFragmentsWithAdUnitID(adUnitID)));
}

void DZDynamicHeightSearchRequest::copyFieldsTo(DZRequest& copy) const {
    if (auto* request = dynamic_cast<DZDynamicHeightSearchRequest*>(&copy)) {
        request->p_ = p_;
        request->requestParameters_ = requestParameters_;
    }
}

}  // namespace ads
