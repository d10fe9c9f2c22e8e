// The settings that a response's "x-duzo-" headers give the ad, applied in
// a fixed order each time headers arrive.

#include <cmath>

#include "ads/core/app/DZApplication.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/response/DZAdFetcher.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZLocationService.h"
#include "ads/foundation/DZOrientation.h"
#include "ads/foundation/DZSafeBrowsingReporter.h"
#include "ads/foundation/DZURLLists.h"
#include "core/Unicode.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

constexpr const char* kContentURLEnabledKey = "/dozuza/ads/content_url_enabled";
constexpr const char* kUseHTTPSKey = "/dozuza/ads/use_https";

const std::string* text(const core::Dictionary& headers, std::string_view name) {
    return headers[name].string();
}

std::optional<std::string> optionalText(const core::Dictionary& headers, std::string_view name) {
    const std::string* value = text(headers, name);
    return value ? std::optional(*value) : std::nullopt;
}

// A header whose text is a JSON dictionary.
std::optional<core::Dictionary> JSONDictionary(const core::Dictionary& headers,
                                               std::string_view name) {
    const std::string* value = text(headers, name);
    if (!value) return std::nullopt;
    auto decoded = dz_decodedJSONObjectError(*value, nullptr);
    if (!decoded || !decoded->dictionary()) return std::nullopt;
    return std::move(*decoded->dictionary());
}

std::vector<core::URL> URLs(const core::Dictionary& headers, std::string_view name) {
    const std::string* value = text(headers, name);
    if (!value) return {};
    return DZURLsFromWhitespaceSeparatedString(*value).value_or(std::vector<core::URL>());
}

void applyContentURLOptOut(const core::Dictionary& headers) {
    const auto defaults = core::UserDefaults::standard();
    const std::string* optedOut = text(headers, "x-duzo-content-url-opted-out");
    if (optedOut && *optedOut == "false") {
        DZApplication::sharedInstance()->startContentHashing();
        defaults->setBool(kContentURLEnabledKey, true);
    } else {
        DZApplication::sharedInstance()->stopContentHashing();
        defaults->removeObjectForKey(kContentURLEnabledKey);
    }
}

void applyUseHTTPS(const core::Dictionary& headers) {
    const auto defaults = core::UserDefaults::standard();
    if (const core::Value* useHTTPS = headers.find("x-duzo-use-https")) {
        defaults->setBool(kUseHTTPSKey, useHTTPS->boolValue());
    } else if (defaults->objectForKey(kUseHTTPSKey).isNull()) {
        defaults->setBool(kUseHTTPSKey, false);
    }
}

}  // namespace

void DZAdFetcher::applySettingsHeaders(const core::Dictionary& headers) {
    DZAd& ad = *ad_;
    ad.addClickURLs(URLs(headers, "x-duzo-click-tracking-urls"));
    ad.addImpressionURLs(URLs(headers, "x-duzo-tracking-urls"));
    ad.addManualImpressionURLs(URLs(headers, "x-duzo-manual-tracking-urls"));
    applyContentURLOptOut(headers);
    ad.setLiveViewConfigurations(JSONDictionary(headers, "x-duzo-liveview"));
    if (const std::string* displayed = text(headers, "x-duzo-use-displayed-impression");
        displayed && core::Value(*displayed).boolValue()) {
        ad.setImpressionDefinition(1);
    }
    if (const std::string* orientation = text(headers, "x-duzo-orientation")) {
        if (const std::uint64_t mask = DZInterfaceOrientationMaskFromString(*orientation)) {
            ad.setSupportedOrientations(mask);
        }
    }
    if (const std::string* refresh = text(headers, "x-duzo-refresh-rate");
        refresh && !refresh->empty()) {
        // A rate out of range leaves the interval.
        if (const auto seconds = DZAd::checkedReloadInterval(core::Value(*refresh).doubleValue()))
            ad.setReloadInterval(*seconds);
    }
    ad.setDebugDialogString(optionalText(headers, "x-duzo-debug-dialog"));
    ad.setCustomAdSizeString(optionalText(headers, "x-duzo-ad-size"));
    ad.setScrollEnabled(!headers["x-duzo-disable-activation-and-scroll"].boolValue());
    applyUseHTTPS(headers);
    if (const core::Value* blocked = headers.find("x-duzo-custom-close-blocked")) {
        ad.setCustomCloseBlocked(blocked->boolValue());
    }
    if (const std::string* fluid = text(headers, "x-duzo-fluid");
        fluid && core::Unicode::toLower(*fluid, "") == "height") {
        ad.setFluid(true);
    }
    if (const std::string* query = text(headers, "x-duzo-dws-query-id")) ad.setDWSQueryID(*query);
    if (const auto location = DZLocationService::sharedInstance()) {
        location->setPublisherAuthorized(headers["x-duzo-auto-collect-location"].boolValue());
    }
    if (const auto safeBrowsing = JSONDictionary(headers, "x-duzo-safe-browsing")) {
        ad.setSafeBrowsingReporter(DZSafeBrowsingReporter::create(core::Value(*safeBrowsing)));
    }
    if (const std::string* signals = text(headers, "x-duzo-debug-signals")) {
        ad.setDebugSignalInformation(*signals);
    }
}

}  // namespace ads
