#include "ads/mediation/adapters/DZMAdURLAdapter.h"

#include "ads/foundation/DZThreading.h"

#include "ads/core/request/DZExtras.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZGeometry.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMAdNetworkConnector.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "ads/presentation/interstitial/DZInterstitial.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

constexpr const char* kAlreadyInitializedMessage =
    "Adapter already initialized. Create a new instance.";
constexpr const char* kCannotLoadAdURLMessage = "Adapter can't load ad URL.";
constexpr const char* kNoAdObjectMessage = "Received an ad load request with uninitialized banner "
                                           "ad and interstitial objects. Request ID: %@";
constexpr const char* kEmptyAdMessage = "Received empty ad.";
constexpr const char* kNetworkMessage = "Failed to load ad. Check network connection.";

}  // namespace

DZMClassDescription DZMAdURLAdapter::classDescription() {
    DZMClassDescription description;
    description.name = kClassName;
    description.protocols = {DZMProtocol::adNetworkAdapter};
    description.instanceSelectors = {DZMSelector::initWithDZMAdNetworkConnector,
                                     DZMSelector::getBannerWithSize, DZMSelector::getInterstitial};
    description.adapterVersion = kAdapterVersion;
    description.answersNetworkExtrasClass = true;
    description.networkExtrasClass = DZExtras::kClassName;
    description.makeAdapter = [](const std::shared_ptr<DZMAdNetworkConnector>& connector) {
        return std::static_pointer_cast<DZMAdNetworkAdapter>(create(connector));
    };
    return description;
}

std::shared_ptr<DZMAdURLAdapter>
DZMAdURLAdapter::create(const std::shared_ptr<DZMAdNetworkConnector>& connector) {
    if (!connector) return nullptr;
    return std::make_shared<DZMAdURLAdapter>(Token{}, connector);
}

DZMAdURLAdapter::DZMAdURLAdapter(Token, const std::shared_ptr<DZMAdNetworkConnector>& connector)
    : connector_(connector) {}

DZMAdURLAdapter::~DZMAdURLAdapter() {
    if (banner_) banner_->setDelegate({});
    if (interstitial_) interstitial_->setDelegate({});
    // The last owner may be a worker thread (the core controller lets go of
    // its requesters on its own queue); views end on the main thread only.
    DZReleaseOnMainThread(std::move(banner_));
    DZReleaseOnMainThread(std::move(interstitial_));
}

Error DZMAdURLAdapter::errorWithCode(long code, const std::string& requestID) {
    std::string message;
    switch (code) {
    case kErrorAlreadyInitialized:
        message = kAlreadyInitializedMessage;
        break;
    case kErrorCannotLoadAdURL:
        message = kCannotLoadAdURLMessage;
        break;
    case kErrorNoAdObject:
        message = core::format(kNoAdObjectMessage, requestID);
        break;
    case kErrorEmptyAd:
        message = kEmptyAdMessage;
        break;
    default:
        message = kNetworkMessage;
        break;
    }
    return DZErrorWithDomainCodeDescription(kErrorDomain, code, message);
}

std::shared_ptr<DZSDKCoreController> DZMAdURLAdapter::coreController() const {
    if (SDKCoreController_) return SDKCoreController_;
    const auto connector = connector_.lock();
    if (const auto slot = connector ? connector->slot() : nullptr) return slot->SDKCoreController();
    return DZSDKCoreController::sharedInstance();
}

void DZMAdURLAdapter::relay(const std::function<void(DZMAdNetworkConnector&)>& call) {
    if (const auto connector = connector_.lock()) call(*connector);
}

void DZMAdURLAdapter::fail(long code) {
    const Error error = errorWithCode(code, requestID_.value_or(""));
    // Both paths tell the connector the same error; without an ad object
    // there is no request to fail.
    if (!banner_ && !interstitial_) return;
    relay([&](DZMAdNetworkConnector& connector) { connector.adapterDidFailAd(this, error); });
}

void DZMAdURLAdapter::getBannerWithSize(const DZAdSize& adSize) {
    const auto keep = shared_from_this();
    if (banner_ || interstitial_) {
        relay([&](DZMAdNetworkConnector& connector) {
            connector.adapterDidFailAd(this, errorWithCode(kErrorAlreadyInitialized));
        });
        return;
    }
    const auto connector = connector_.lock();
    banner_ = DZBannerView::createWithAdSize(adSize);
    if (!banner_) {
        relay([&](DZMAdNetworkConnector& c) {
            c.adapterDidFailAd(this, DZErrorWithCodeDescription(kDZErrorInternalError,
                                                                "Cannot make the banner view."));
        });
        return;
    }
    banner_->setMediated();
    if (connector)
        banner_->setRootViewController(connector->viewControllerForPresentingModalView());
    // The waterfall owns refreshing: the mediated banner never reloads.
    if (const auto& slot = banner_->slot()) slot->setReloadable(false);
    banner_->setDelegate(std::static_pointer_cast<DZBannerViewDelegate>(keep));
    startLoad();
}

void DZMAdURLAdapter::getInterstitial() {
    const auto keep = shared_from_this();
    if (banner_ || interstitial_) {
        relay([&](DZMAdNetworkConnector& connector) {
            connector.adapterDidFailAd(this, errorWithCode(kErrorAlreadyInitialized));
        });
        return;
    }
    interstitial_ = DZInterstitial::create("");
    interstitial_->setMediated();
    interstitial_->setDelegate(std::static_pointer_cast<DZInterstitialDelegate>(keep));
    startLoad();
}

void DZMAdURLAdapter::startLoad() {
    if (const auto controller = coreController())
        controller->buildAdURL(
            std::static_pointer_cast<DZSDKCoreControllerDelegate>(shared_from_this()));
}

void DZMAdURLAdapter::presentInterstitialFromRootViewController(
    const std::shared_ptr<ui::ViewController>& root) {
    if (interstitial_) interstitial_->presentFromRootViewController(root);
}

bool DZMAdURLAdapter::changeAdSizeTo(const DZAdSize& adSize) {
    if (!banner_) return false;
    banner_->setAdSize(adSize);
    return true;
}

bool DZMAdURLAdapter::isBannerAnimationOK(std::int64_t) {
    return true;
}

void DZMAdURLAdapter::stopBeingDelegate() {
    if (banner_) banner_->setDelegate({});
    if (interstitial_) interstitial_->setDelegate({});
    shouldRespondToSDKCore_ = false;
}

// The core controller's requester.

std::uint64_t DZMAdURLAdapter::requestedAdType() {
    if (banner_) return 1;
    if (interstitial_) return 2;
    return 0;
}

std::optional<core::Dictionary> DZMAdURLAdapter::requestParameters() {
    const auto connector = connector_.lock();
    if (!connector) return std::nullopt;
    core::Dictionary requestParameters =
        DZRequest::requestWithMediationAdRequest(*connector)->parameters();
    switch (requestedAdType()) {
    case 1: {
        requestParameters.set("format", "banner");
        requestParameters.set("ad_frame", DZDictionaryWithRect(banner_->frame().standardized()));
        requestParameters.set("ad_bounds", DZDictionaryWithRect(banner_->bounds().standardized()));
        const DZAdSize adSize = banner_->adSize();
        if (DZAdSizeIsFullWidth(adSize)) {
            requestParameters.set("smart_w", "full");
            if (DZAdSizeIsAutoHeight(adSize)) requestParameters.set("smart_h", "auto");
        }
        break;
    }
    case 2:
        requestParameters.set("format", "interstitial_mb");
        break;
    default:
        break;
    }
    const auto device = DZDevice::sharedInstance();
    const std::string identifier = device->rawDeviceIdentifier();
    core::Dictionary parameters;
    parameters.set("request_param", std::move(requestParameters));
    parameters.set("lat", device->limitAdTrackingString());
    parameters.set("adid", identifier);
    parameters.set("data", connector->credentials().value_or(core::Dictionary()));
    parameters.set("network_id", connector->networkConfig()->networkID());
    parameters.set("request_id", requestID_.value_or(""));
    parameters.set(kMediationMarker, "1");
    return parameters;
}

void DZMAdURLAdapter::loadAdURLWithParameters(const core::Dictionary&) {
    if (shouldRespondToSDKCore_) fail(kErrorCannotLoadAdURL);
}

void DZMAdURLAdapter::invalidJavaScriptRequest() {
    if (shouldRespondToSDKCore_) fail(kErrorInvalidRequest);
}

void DZMAdURLAdapter::failedJavaScriptFile() {
    if (shouldRespondToSDKCore_) fail(kErrorScriptFailed);
}

void DZMAdURLAdapter::loadAd(const std::shared_ptr<DZAd>& ad,
                             const std::optional<core::Dictionary>& headers) {
    if (!shouldRespondToSDKCore_) return;
    const auto keep = shared_from_this();
    if (!banner_ && !interstitial_) {
        // Told to the connector directly: fail() has no ad object to go by.
        relay([&](DZMAdNetworkConnector& connector) {
            connector.adapterDidFailAd(this,
                                       errorWithCode(kErrorNoAdObject, requestID_.value_or("")));
        });
        return;
    }
    if (!ad) {
        fail(kErrorEmptyAd);
        return;
    }
    core::Dictionary parameters;
    parameters.set("_ad", ad->sourceDictionary().value_or(core::Dictionary()));
    parameters.set("_adHeaders", headers.value_or(core::Dictionary()));
    // The slot takes "_useOnce" as a true Boolean.
    parameters.set("_useOnce", true);
    auto request = std::make_shared<DZRequest>();
    request->registerAdNetworkExtras(std::make_shared<DZExtras>(std::move(parameters)));
    if (banner_) {
        banner_->loadRequest(request);
    } else {
        interstitial_->loadRequest(request);
    }
}

// Relays of the ad objects' events.

void DZMAdURLAdapter::adViewDidReceiveAd(DZBannerView&) {
    const auto keep = shared_from_this();
    relay([&](DZMAdNetworkConnector& connector) {
        connector.adapterDidReceiveAdView(this, banner_);
    });
}
void DZMAdURLAdapter::didFailToReceiveAdWithError(DZBannerView&, const DZRequestError& error) {
    const auto keep = shared_from_this();
    relay([&](DZMAdNetworkConnector& connector) { connector.adapterDidFailAd(this, error); });
}
void DZMAdURLAdapter::adViewWillPresentScreen(DZBannerView&) {
    relay([&](DZMAdNetworkConnector& c) { c.adapterWillPresentFullScreenModal(this); });
}
void DZMAdURLAdapter::adViewWillDismissScreen(DZBannerView&) {
    relay([&](DZMAdNetworkConnector& c) { c.adapterWillDismissFullScreenModal(this); });
}
void DZMAdURLAdapter::adViewDidDismissScreen(DZBannerView&) {
    relay([&](DZMAdNetworkConnector& c) { c.adapterDidDismissFullScreenModal(this); });
}
void DZMAdURLAdapter::adViewWillLeaveApplication(DZBannerView&) {
    relay([&](DZMAdNetworkConnector& c) { c.adapterWillLeaveApplication(this); });
}

void DZMAdURLAdapter::interstitialDidReceiveAd(DZInterstitial&) {
    const auto keep = shared_from_this();
    relay([&](DZMAdNetworkConnector& c) { c.adapterDidReceiveInterstitial(this); });
}
void DZMAdURLAdapter::didFailToReceiveAdWithError(DZInterstitial&, const DZRequestError& error) {
    const auto keep = shared_from_this();
    relay([&](DZMAdNetworkConnector& c) { c.adapterDidFailAd(this, error); });
}
void DZMAdURLAdapter::interstitialWillPresentScreen(DZInterstitial&) {
    relay([&](DZMAdNetworkConnector& c) { c.adapterWillPresentInterstitial(this); });
}
void DZMAdURLAdapter::interstitialWillDismissScreen(DZInterstitial&) {
    relay([&](DZMAdNetworkConnector& c) { c.adapterWillDismissInterstitial(this); });
}
void DZMAdURLAdapter::interstitialDidDismissScreen(DZInterstitial&) {
    relay([&](DZMAdNetworkConnector& c) { c.adapterDidDismissInterstitial(this); });
}
void DZMAdURLAdapter::interstitialWillLeaveApplication(DZInterstitial&) {
    relay([&](DZMAdNetworkConnector& c) { c.adapterWillLeaveApplication(this); });
}
void DZMAdURLAdapter::interstitialDidReceiveAdClick(DZInterstitial&) {
    relay([&](DZMAdNetworkConnector& c) { c.adapterDidGetAdClick(this); });
}

}  // namespace ads
