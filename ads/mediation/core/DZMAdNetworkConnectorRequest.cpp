// DZMAdNetworkConnector: its answers to the adapter's questions about the
// request, read from the network entry, the response and the slot's
// loading request and ad.

#include <algorithm>

#include "ads/core/app/DZMobileAds.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/mediation/core/DZMAdManager.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMAdNetworkConnector.h"
#include "ads/mediation/core/DZMClassRegistry.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/web/net/DZURLConnectionRedirect.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

constexpr const char* kInlinedAnnotationHeader = "x-duzo-annotation-inlined";
constexpr const char* kInlinedAnnotation = "inlined in mediation response";
// The status of the redirect that stands for the mediation response.
constexpr int kInlinedRedirectStatus = 399;

}  // namespace

std::shared_ptr<DZSlot> DZMAdNetworkConnector::slot() const {
    const auto manager = adManager();
    return manager ? manager->slot() : nullptr;
}

std::shared_ptr<DZRequest> DZMAdNetworkConnector::loadingRequest() const {
    const auto slot = this->slot();
    return slot ? slot->loadingRequest() : nullptr;
}

std::optional<std::string> DZMAdNetworkConnector::publisherId() const {
    return networkConfig_->publisherID();
}

bool DZMAdNetworkConnector::testMode() const {
    const auto request = loadingRequest();
    return request && request->isATestDevice();
}

std::shared_ptr<DZAdNetworkExtras> DZMAdNetworkConnector::networkExtras() const {
    const auto& className = networkConfig_->adapterClass();
    const auto description =
        className ? DZMClassRegistry::shared().classNamed(*className) : nullptr;
    if (!description || !description->answersNetworkExtrasClass) {
        DZLogger::sharedInstance().logPublicMessage(core::format(
            "Adapter class %@ does not respond to %@. Unable to retrieve network extras.",
            className.value_or("(null)"), "networkExtrasClass"));
        return nullptr;
    }
    if (!description->networkExtrasClass) return nullptr;
    return networkExtrasForClass(*description->networkExtrasClass);
}

std::shared_ptr<DZAdNetworkExtras>
DZMAdNetworkConnector::networkExtrasForClass(std::string_view className) const {
    const auto request = loadingRequest();
    return request ? request->adNetworkExtrasFor(className) : nullptr;
}

std::optional<bool> DZMAdNetworkConnector::childDirectedTreatment() const {
    const auto request = loadingRequest();
    return request ? request->childDirectedTreatment() : std::nullopt;
}

std::int64_t DZMAdNetworkConnector::userGender() const {
    const auto request = loadingRequest();
    return request ? request->gender() : 0;
}

std::optional<core::Date> DZMAdNetworkConnector::userBirthday() const {
    const auto request = loadingRequest();
    return request ? request->birthday() : std::nullopt;
}

std::optional<core::Array> DZMAdNetworkConnector::userKeywords() const {
    const auto request = loadingRequest();
    return request ? request->keywords() : std::nullopt;
}

std::optional<DZLocation> DZMAdNetworkConnector::userLocation() const {
    const auto request = loadingRequest();
    return request ? request->location() : std::nullopt;
}

bool DZMAdNetworkConnector::userHasLocation() const {
    if (!locationShared_) return false;
    const auto location = userLocation();
    return location && location->isPreciseLocation();
}

double DZMAdNetworkConnector::userLatitude() const {
    return userHasLocation() ? userLocation()->latitude() : 0.0;
}

double DZMAdNetworkConnector::userLongitude() const {
    return userHasLocation() ? userLocation()->longitude() : 0.0;
}

double DZMAdNetworkConnector::userLocationAccuracyInMeters() const {
    return userHasLocation() ? userLocation()->accuracy() : 0.0;
}

std::optional<std::string> DZMAdNetworkConnector::userLocationDescription() const {
    if (!locationShared_) return std::nullopt;
    const auto location = userLocation();
    return location ? std::optional(location->locationDescription()) : std::nullopt;
}

std::shared_ptr<ui::ViewController>
DZMAdNetworkConnector::viewControllerForPresentingModalView() const {
    const auto slot = this->slot();
    return slot ? slot->viewControllerForPresentingModalView() : nullptr;
}

float DZMAdNetworkConnector::adVolume() const {
    return std::clamp(DZMobileAds::sharedInstance().clampedApplicationVolume(), 0.0f, 1.0f);
}

bool DZMAdNetworkConnector::adMuted() const {
    return DZMobileAds::sharedInstance().applicationMuted();
}

gfx::Size DZMAdNetworkConnector::adSize() const {
    const auto slot = this->slot();
    return slot && slot->ad() ? slot->ad()->size() : gfx::Size();
}

double DZMAdNetworkConnector::croppedContentThreshold() const {
    const auto slot = this->slot();
    return slot && slot->ad() ? slot->ad()->croppedContentThreshold()
                              : DZAd::kDefaultCroppedContentThreshold;
}

std::optional<DZMInlineAd> DZMAdNetworkConnector::inlineAd() const {
    const auto& ad = networkConfig_->ad();
    if (!ad) return std::nullopt;
    DZMInlineAd inlined{*ad, {}};
    const auto slot = this->slot();
    const std::shared_ptr<DZAd> slotAd = slot ? slot->ad() : nullptr;
    if (!slotAd) return inlined;
    // The slot ad's facts go beside the dictionary, never into it: an ad's
    // dictionary from a server may not set them.
    inlined.native.interstitialSize = slotAd->size();
    inlined.native.croppedContentThreshold = slotAd->croppedContentThreshold();
    inlined.native.originalRequest = slotAd->originalRequest();
    inlined.native.redirects = slotAd->redirects();
    if (slotAd->adBaseURL()) {
        core::HTTPHeaders headers;
        if (const auto& fields = slotAd->responseHeaders())
            for (const auto& [name, value] : *fields) headers.set(name, value.stringValue());
        const core::HTTPURLResponse response(*slotAd->adBaseURL(), kInlinedRedirectStatus,
                                             std::move(headers));
        const std::string* base = (*ad)["ad_base_url"].string();
        if (const auto url = base ? core::URL::create(*base) : std::nullopt) {
            core::URLRequest request(*url);
            (void)request.setValue(kInlinedAnnotationHeader, std::string(kInlinedAnnotation));
            inlined.native.redirects.push_back(
                std::make_shared<DZURLConnectionRedirect>(response, std::move(request)));
        }
    }
    return inlined;
}

std::optional<core::Dictionary> DZMAdNetworkConnector::extras() const {
    return networkConfig_->extras();
}

core::Array DZMAdNetworkConnector::adapterNames() const {
    core::Array names;
    for (const auto& network : mediationConfig_->adNetworkConfigs()) {
        core::Array list;
        for (const auto& name : network->adapterList().value_or(std::vector<std::string>{}))
            list.emplace_back(name);
        names.emplace_back(std::move(list));
    }
    return names;
}

std::optional<std::string> DZMAdNetworkConnector::currentAdapterName() const {
    return networkConfig_->adapterClass();
}

std::optional<std::string> DZMAdNetworkConnector::userRequestAgent() const {
    const auto request = loadingRequest();
    return request ? request->requestAgent() : std::nullopt;
}

}  // namespace ads
