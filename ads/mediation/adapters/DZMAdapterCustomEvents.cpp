#include "ads/mediation/adapters/DZMAdapterCustomEvents.h"

#include "ads/core/request/DZRequest.h"
#include "ads/foundation/DZLogger.h"
#include "ads/mediation/core/DZCustomEventRequest.h"
#include "ads/mediation/core/DZMAdNetworkConnector.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

constexpr const char* kNativeConnectorClassName = "DZMAdNetworkConnectorNativeAd";

void logPublicMessage(const std::string& message) {
    DZLogger::sharedInstance().logPublicMessage(message);
}

}  // namespace

DZMClassDescription DZMAdapterCustomEvents::classDescription() {
    DZMClassDescription description;
    description.name = kClassName;
    description.protocols = {DZMProtocol::adNetworkAdapter};
    description.instanceSelectors = {DZMSelector::initWithDZMAdNetworkConnector,
                                     DZMSelector::getBannerWithSize, DZMSelector::getInterstitial,
                                     DZMSelector::getNativeAdWithAdTypesOptions};
    description.adapterVersion = DZRequest::sdkVersion();
    description.answersNetworkExtrasClass = true;
    description.networkExtrasClass = "DZCustomEventExtras";
    description.makeAdapter = [](const std::shared_ptr<DZMAdNetworkConnector>& connector) {
        return std::make_shared<DZMAdapterCustomEvents>(connector);
    };
    return description;
}

DZMAdapterCustomEvents::DZMAdapterCustomEvents(
    const std::shared_ptr<DZMAdNetworkConnector>& connector)
    : connector_(connector) {}

DZMAdapterCustomEvents::~DZMAdapterCustomEvents() {
    stopBeingDelegate();
}

std::optional<std::string> DZMAdapterCustomEvents::credential(const char* key) const {
    const auto connector = connector_.lock();
    const auto credentials = connector ? connector->credentials() : std::nullopt;
    const std::string* value = credentials ? (*credentials)[key].string() : nullptr;
    return value ? std::optional(*value) : std::nullopt;
}

void DZMAdapterCustomEvents::failWithPublicMessage(const std::string& message) {
    callBackToConnectorWithError(message);
    logPublicMessage(message);
}

void DZMAdapterCustomEvents::callBackToConnectorWithError(const std::string& message) {
    Error error;
    error.domain = kErrorDomain;
    error.code = 1;
    error.message = message;
    if (const auto connector = connector_.lock()) connector->adapterDidFailAd(this, error);
}

std::shared_ptr<DZCustomEvent> DZMAdapterCustomEvents::customEventWithCredentials() {
    const auto className = credential("class_name");
    if (!className) {
        callBackToConnectorWithError("No class name for the Custom Event.");
        return nullptr;
    }
    const auto description = DZMClassRegistry::shared().classNamed(*className);
    if (!description || !description->makeObject) {
        const std::string message =
            core::format("Cannot find Custom Event class named %@.", *className);
        failWithPublicMessage(message);
        return nullptr;
    }
    return description->makeObject();
}

void DZMAdapterCustomEvents::getBannerWithSize(const DZAdSize& adSize) {
    const auto self = shared_from_this();
    const auto instance = customEventWithCredentials();
    if (!instance) return;
    const auto connector = connector_.lock();
    if (!connector) return;
    const DZCustomEventRequest request(*connector);
    const auto banner = std::dynamic_pointer_cast<DZCustomEventBanner>(instance);
    if (!banner) {
        const std::string message = core::format(
            "Custom Event class %@ does not conform to the %@ protocol.",
            credential("class_name").value_or(""), DZMProtocolName(DZMProtocol::customEventBanner));
        failWithPublicMessage(message);
        return;
    }
    banner->setDelegate(std::static_pointer_cast<DZCustomEventBannerDelegate>(self));
    banner->requestBannerAd(adSize, credential("parameter"), credential("label"), request);
    customEventBanner_ = banner;
}

void DZMAdapterCustomEvents::getInterstitial() {
    const auto self = shared_from_this();
    const auto instance = customEventWithCredentials();
    if (!instance) return;
    const auto connector = connector_.lock();
    if (!connector) return;
    const DZCustomEventRequest request(*connector);
    const auto interstitial = std::dynamic_pointer_cast<DZCustomEventInterstitial>(instance);
    if (!interstitial) {
        const std::string message =
            core::format("Custom Event class %@ does not conform to the %@ protocol.",
                         credential("class_name").value_or(""),
                         DZMProtocolName(DZMProtocol::customEventInterstitial));
        failWithPublicMessage(message);
        return;
    }
    interstitial->setDelegate(std::static_pointer_cast<DZCustomEventInterstitialDelegate>(self));
    interstitial->requestInterstitialAd(credential("parameter"), credential("label"), request);
    customEventInterstitial_ = interstitial;
}

void DZMAdapterCustomEvents::getNativeAdWithAdTypes(
    const std::vector<std::string>& adTypes,
    const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options) {
    const auto self = shared_from_this();
    const auto connector = connector_.lock();
    if (!connector || !connector->isNativeAdConnector()) {
        callBackToConnectorWithError(
            core::format("Connector used %@ isn't a valid connector for requesting native ad",
                         kNativeConnectorClassName));
        return;
    }
    const auto instance = customEventWithCredentials();
    if (!instance) return;
    const auto nativeAd = std::dynamic_pointer_cast<DZCustomEventNativeAd>(instance);
    if (!nativeAd) {
        const std::string message =
            core::format("Custom event class %@ doesn't implement method %@.",
                         credential("class_name").value_or(""),
                         DZMSelectorName(DZMSelector::requestNativeAdWithParameter));
        failWithPublicMessage(message);
        return;
    }
    const DZCustomEventRequest request(*connector);
    nativeAd->setDelegate(std::static_pointer_cast<DZCustomEventNativeAdDelegate>(self));
    nativeAd->requestNativeAd(credential("parameter"), request, adTypes, options,
                              connector->viewControllerForPresentingModalView());
    customEventNativeAd_ = nativeAd;
}

void DZMAdapterCustomEvents::presentInterstitialFromRootViewController(
    const std::shared_ptr<ui::ViewController>& root) {
    if (customEventInterstitial_) customEventInterstitial_->presentFromRootViewController(root);
}

void DZMAdapterCustomEvents::stopBeingDelegate() {
    if (customEventBanner_) customEventBanner_->setDelegate({});
    if (customEventInterstitial_) customEventInterstitial_->setDelegate({});
}

std::optional<bool> DZMAdapterCustomEvents::handlesUserClicks() const {
    return customEventNativeAd_ && customEventNativeAd_->handlesUserClicks();
}

std::optional<bool> DZMAdapterCustomEvents::handlesUserImpressions() const {
    return customEventNativeAd_ && customEventNativeAd_->handlesUserImpressions();
}

// Relays to the connector.

void DZMAdapterCustomEvents::customEventBannerDidReceiveAd(DZCustomEventBanner&,
                                                           const std::shared_ptr<ui::View>& view) {
    relay([&](DZMAdNetworkConnector& connector) { connector.adapterDidReceiveAdView(this, view); });
}
void DZMAdapterCustomEvents::customEventBannerDidFailAd(DZCustomEventBanner&, const Error& error) {
    relay([&](DZMAdNetworkConnector& connector) { connector.adapterDidFailAd(this, error); });
}
void DZMAdapterCustomEvents::customEventBannerWasClicked(DZCustomEventBanner&) {
    relay([&](DZMAdNetworkConnector& connector) { connector.adapterDidGetAdClick(this); });
}
void DZMAdapterCustomEvents::customEventBannerClickDidOccurInAd(DZCustomEventBanner& banner,
                                                                const std::shared_ptr<ui::View>&) {
    customEventBannerWasClicked(banner);
}
void DZMAdapterCustomEvents::customEventBannerWillPresentModal(DZCustomEventBanner&) {
    relay([&](DZMAdNetworkConnector& connector) {
        connector.adapterWillPresentFullScreenModal(this);
    });
}
void DZMAdapterCustomEvents::customEventBannerWillDismissModal(DZCustomEventBanner&) {
    relay([&](DZMAdNetworkConnector& connector) {
        connector.adapterWillDismissFullScreenModal(this);
    });
}
void DZMAdapterCustomEvents::customEventBannerDidDismissModal(DZCustomEventBanner&) {
    relay([&](DZMAdNetworkConnector& connector) {
        connector.adapterDidDismissFullScreenModal(this);
    });
}
void DZMAdapterCustomEvents::customEventBannerWillLeaveApplication(DZCustomEventBanner&) {
    relay([&](DZMAdNetworkConnector& connector) { connector.adapterWillLeaveApplication(this); });
}
std::shared_ptr<ui::ViewController> DZMAdapterCustomEvents::viewControllerForPresentingModalView() {
    const auto connector = connector_.lock();
    return connector ? connector->viewControllerForPresentingModalView() : nullptr;
}

void DZMAdapterCustomEvents::customEventInterstitialDidReceiveAd(DZCustomEventInterstitial&) {
    relay([&](DZMAdNetworkConnector& connector) { connector.adapterDidReceiveInterstitial(this); });
}
void DZMAdapterCustomEvents::customEventInterstitialDidReceiveAd(
    DZCustomEventInterstitial& interstitial, const std::shared_ptr<const void>&) {
    customEventInterstitialDidReceiveAd(interstitial);
}
void DZMAdapterCustomEvents::customEventInterstitialDidFailAd(DZCustomEventInterstitial&,
                                                              const Error& error) {
    relay([&](DZMAdNetworkConnector& connector) { connector.adapterDidFailAd(this, error); });
}
void DZMAdapterCustomEvents::customEventInterstitialWasClicked(DZCustomEventInterstitial&) {
    relay([&](DZMAdNetworkConnector& connector) { connector.adapterDidGetAdClick(this); });
}
void DZMAdapterCustomEvents::customEventInterstitialWillPresent(DZCustomEventInterstitial&) {
    relay(
        [&](DZMAdNetworkConnector& connector) { connector.adapterWillPresentInterstitial(this); });
}
void DZMAdapterCustomEvents::customEventInterstitialWillDismiss(DZCustomEventInterstitial&) {
    relay(
        [&](DZMAdNetworkConnector& connector) { connector.adapterWillDismissInterstitial(this); });
}
void DZMAdapterCustomEvents::customEventInterstitialDidDismiss(DZCustomEventInterstitial&) {
    relay([&](DZMAdNetworkConnector& connector) { connector.adapterDidDismissInterstitial(this); });
}
void DZMAdapterCustomEvents::customEventInterstitialWillLeaveApplication(
    DZCustomEventInterstitial&) {
    relay([&](DZMAdNetworkConnector& connector) { connector.adapterWillLeaveApplication(this); });
}

void DZMAdapterCustomEvents::customEventNativeAdDidReceiveMediatedNativeAd(
    DZCustomEventNativeAd&, const std::shared_ptr<DZMediatedNativeAdProtocol>& ad) {
    const auto connector = connector_.lock();
    if (!connector) return;
    if (!connector->isNativeAdConnector()) {
        connector->adapterDidFailAd(
            this,
            DZErrorWithCodeDescription(
                kDZErrorInternalError,
                "Native ad response received for connector which can't processed native ad."));
        return;
    }
    connector->adapterDidReceiveMediatedNativeAd(this, ad);
}
void DZMAdapterCustomEvents::customEventNativeAdDidFailToLoadWithError(DZCustomEventNativeAd&,
                                                                       const Error& error) {
    relay([&](DZMAdNetworkConnector& connector) { connector.adapterDidFailAd(this, error); });
}

}  // namespace ads
