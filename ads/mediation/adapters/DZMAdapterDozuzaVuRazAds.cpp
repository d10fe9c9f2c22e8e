#include "ads/mediation/adapters/DZMAdapterDozuzaVuRazAds.h"

#include "ads/core/request/DZAdLoaderConfiguration.h"
#include "ads/core/request/DZExtras.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/request/ZODBannerViewOptions.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/mediation/core/DZMAdNetworkConnector.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/mediation/core/DZMediatedNativeAdProtocol.h"
#include "ads/mediation/rewarded/DZMRewardBasedVideoAdNetworkConnector.h"
#include "ads/native/DZAdClass.h"
#include "ads/native/DZAdLoader.h"
#include "ads/native/DZLoadable.h"
#include "ads/native/DZNativeAd.h"
#include "ads/native/DZNativeAppInstallAd.h"
#include "ads/native/DZNativeContentAd.h"
#include "ads/native/DZNativeCustomTemplateAd.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "ads/presentation/banner/ZODBannerView.h"
#include "ads/presentation/interstitial/DZInterstitial.h"
#include "ads/presentation/rewarded/DZRewardBasedVideoAd.h"
#include "core/Queue.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

constexpr const char* kNativeConnectorClassName = "DZMAdNetworkConnectorNativeAd";
constexpr const char* kCustomTemplateAdClassName = "DZNativeCustomTemplateAd";

// "<width>x<height>" as a size; zero when it is not one.
gfx::Size sizeFromText(const core::Value& value) {
    const std::string* text = value.string();
    return text ? DZAdSizeRequestString(*text) : gfx::Size();
}

bool isZero(gfx::Size size) {
    return size.width == 0 && size.height == 0;
}

// "[\"1\", \"2\"]": the requested types as the failure message lists them.
std::string describeTypes(const std::vector<std::string>& types) {
    std::string text = "(";
    for (size_t index = 0; index < types.size(); ++index) {
        text += index == 0 ? "\n    " : ",\n    ";
        text += types[index];
    }
    return text + (types.empty() ? ")" : "\n)");
}

}  // namespace

DZMClassDescription DZMAdapterDozuzaVuRazAds::classDescription() {
    DZMClassDescription description;
    description.name = kClassName;
    description.protocols = {DZMProtocol::adNetworkAdapter,
                             DZMProtocol::rewardBasedVideoAdNetworkAdapter};
    description.instanceSelectors = {DZMSelector::initWithDZMAdNetworkConnector,
                                     DZMSelector::initWithRewardBasedVideoAdNetworkConnector,
                                     DZMSelector::getBannerWithSize,
                                     DZMSelector::getInterstitial,
                                     DZMSelector::getNativeAdWithAdTypesOptions,
                                     DZMSelector::setUp};
    description.adapterVersion = DZRequest::sdkVersion();
    description.answersNetworkExtrasClass = true;
    description.networkExtrasClass = DZExtras::kClassName;
    description.makeAdapter = [](const std::shared_ptr<DZMAdNetworkConnector>& connector)
        -> std::shared_ptr<DZMAdNetworkAdapter> {
        return std::make_shared<DZMAdapterDozuzaVuRazAds>(connector);
    };
    description.makeRewardedAdapter =
        [](const std::shared_ptr<DZMRewardBasedVideoAdNetworkConnector>& connector)
        -> std::shared_ptr<DZMRewardBasedVideoAdNetworkAdapter> {
        return std::make_shared<DZMAdapterDozuzaVuRazAds>(connector);
    };
    return description;
}

DZMAdapterDozuzaVuRazAds::DZMAdapterDozuzaVuRazAds(
    const std::shared_ptr<DZMAdNetworkConnector>& connector)
    : connector_(connector) {}

DZMAdapterDozuzaVuRazAds::DZMAdapterDozuzaVuRazAds(
    const std::shared_ptr<DZMRewardBasedVideoAdNetworkConnector>& connector)
    : rewardBasedVideoAdNetworkConnector_(connector) {}

DZMAdapterDozuzaVuRazAds::~DZMAdapterDozuzaVuRazAds() {
    stopBeingDelegate();
}

std::optional<std::string> DZMAdapterDozuzaVuRazAds::adapterVersion() const {
    return DZRequest::sdkVersion();
}

void DZMAdapterDozuzaVuRazAds::relay(const std::function<void(DZMAdNetworkConnector&)>& call) {
    if (const auto connector = connector_.lock()) call(*connector);
}

void DZMAdapterDozuzaVuRazAds::relayRewarded(
    const std::function<void(DZMRewardBasedVideoAdNetworkConnector&)>& call) {
    if (const auto connector = rewardBasedVideoAdNetworkConnector_.lock()) call(*connector);
}

std::shared_ptr<DZRequest> DZMAdapterDozuzaVuRazAds::request() const {
    const auto connector = connector_.lock();
    return connector ? requestForMediationAdRequest(*connector) : nullptr;
}

std::shared_ptr<DZRequest> DZMAdapterDozuzaVuRazAds::requestForMediationAdRequest(
    const DZMediationAdRequest& mediationRequest) {
    auto request = DZRequest::requestWithMediationAdRequest(mediationRequest);
    // The rebuilt extras start from those of the request the waterfall
    // runs in. When that request handed its ad object a fetched ad (the
    // mediation response itself), the hand-over is about that ad: left in,
    // our ad object would load the response again, or read the network's
    // inline ad with the response's headers. Only the network's own inline
    // ad goes on.
    const auto extras =
        std::dynamic_pointer_cast<DZExtras>(request->adNetworkExtrasFor(DZExtras::kClassName));
    if (extras && extras->additionalParameters()) {
        core::Dictionary parameters = *extras->additionalParameters();
        for (const char* key : {"_ad", "_adHeaders", "_useOnce"}) parameters.remove(key);
        const auto* internal = dynamic_cast<const DZMediationAdRequestInternal*>(&mediationRequest);
        std::shared_ptr<const DZAdNativeProperties> native;
        if (auto inlined = internal ? internal->inlineAd() : std::nullopt) {
            parameters.set("_ad", std::move(inlined->dictionary));
            native = std::make_shared<const DZAdNativeProperties>(std::move(inlined->native));
        }
        auto cleaned = extras->copy();
        cleaned->setAdditionalParameters(std::move(parameters));
        cleaned->setInlineAdNativeProperties(std::move(native));
        request->registerAdNetworkExtras(std::move(cleaned));
    }
    return request;
}

DZAdSize DZMAdapterDozuzaVuRazAds::bannerSizeForRequestedSize(const DZAdSize& adSize) const {
    const auto connector = connector_.lock();
    const auto inlined = connector ? connector->inlineAd() : std::nullopt;
    if (!inlined) return adSize;
    gfx::Size size = sizeFromText(inlined->dictionary["ad_size"]);
    if (isZero(size)) {
        const auto& config = connector->mediationConfig();
        if (const auto& fallback = config ? config->defaultAdSize() : std::nullopt)
            size = sizeFromText(*fallback);
    }
    return isZero(size) ? adSize : DZAdSizeMatchKnownSize(size);
}

// Banners.

void DZMAdapterDozuzaVuRazAds::getBannerWithSize(const DZAdSize& requestedSize) {
    const auto keep = shared_from_this();
    const auto connector = connector_.lock();
    if (!connector) return;
    const auto request = this->request();
    const DZAdSize adSize = bannerSizeForRequestedSize(requestedSize);
    if (bannerView_) bannerView_->setDelegate({});
    removeManualImpressionObserver();
    if (wantsPublisherBanner(*connector)) {
        const auto banner = ZODBannerView::createWithAdSize(adSize);
        if (banner) {
            banner->setAppEventDelegate(std::static_pointer_cast<DZAppEventDelegate>(keep));
            // Our banner's impression follows the network's manual one.
            manualImpressionObserver_ = core::NotificationCenter::defaultCenter().addObserver(
                DZMAdNetworkConnector::kDidRecordManualImpressionNotification, connector.get(),
                core::Queue::main(),
                [weakBanner = std::weak_ptr<ZODBannerView>(banner)](const core::Notification&) {
                    if (const auto banner = weakBanner.lock()) banner->recordImpression();
                });
        }
        bannerView_ = banner;
    } else {
        bannerView_ = DZBannerView::createWithAdSize(adSize);
    }
    if (!bannerView_) {
        connector->adapterDidFailAd(
            this, DZErrorWithCodeDescription(kDZErrorInternalError, "Cannot make a banner view."));
        return;
    }
    bannerView_->setMediated();
    bannerView_->setDelegate(std::static_pointer_cast<DZBannerViewDelegate>(keep));
    if (const auto& slot = bannerView_->slot()) slot->setReloadable(false);
    bannerView_->setAdUnitID(connector->publisherId());
    bannerView_->setRootViewController(connector->viewControllerForPresentingModalView());
    bannerView_->loadRequest(request);
}

bool DZMAdapterDozuzaVuRazAds::wantsPublisherBanner(const DZMAdNetworkConnector& connector) const {
    if (const auto& configuration = connector.adLoaderConfiguration())
        if (configuration->adConfiguration().optionsByClass().count(
                ZODBannerViewOptions::kClassName) != 0)
            return true;
    const auto inlined = connector.inlineAd();
    return inlined && inlined->dictionary.contains("manual_impression_urls");
}

void DZMAdapterDozuzaVuRazAds::removeManualImpressionObserver() {
    if (!manualImpressionObserver_) return;
    core::NotificationCenter::defaultCenter().removeObserver(manualImpressionObserver_);
    manualImpressionObserver_ = {};
}

void DZMAdapterDozuzaVuRazAds::didReceiveAppEvent(DZBannerView&, const std::string& name,
                                                  const std::optional<std::string>& info) {
    relay([&](DZMAdNetworkConnector& c) { c.adapterDidReceiveAppEvent(this, name, info); });
}

bool DZMAdapterDozuzaVuRazAds::changeAdSizeTo(const DZAdSize& adSize) {
    if (!bannerView_) return false;
    bannerView_->setAdSize(adSize);
    return true;
}

bool DZMAdapterDozuzaVuRazAds::isBannerAnimationOK(std::int64_t) {
    return true;
}

// Interstitials.

void DZMAdapterDozuzaVuRazAds::getInterstitial() {
    const auto keep = shared_from_this();
    const auto connector = connector_.lock();
    if (!connector) return;
    if (interstitial_) interstitial_->setDelegate({});
    interstitial_ = DZInterstitial::create(connector->publisherId().value_or(""));
    interstitial_->setMediated();
    interstitial_->setDelegate(std::static_pointer_cast<DZInterstitialDelegate>(keep));
    interstitial_->createSlot();
    interstitial_->loadRequest(request());
}

void DZMAdapterDozuzaVuRazAds::presentInterstitialFromRootViewController(
    const std::shared_ptr<ui::ViewController>& root) {
    if (interstitial_) interstitial_->presentFromRootViewController(root);
}

// Native ads.

void DZMAdapterDozuzaVuRazAds::failNative(const std::string& message) {
    relay([&](DZMAdNetworkConnector& connector) {
        connector.adapterDidFailAd(this,
                                   DZErrorWithCodeDescription(kDZErrorInternalError, message));
    });
}

void DZMAdapterDozuzaVuRazAds::getNativeAdWithAdTypes(
    const std::vector<std::string>& adTypes,
    const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options) {
    const auto keep = shared_from_this();
    const auto connector = connector_.lock();
    if (!connector) return;
    if (!connector->isNativeAdConnector()) {
        failNative(core::format(kInvalidNativeConnectorMessage, kNativeConnectorClassName));
        return;
    }
    // Only the types whose ads this adapter can take as the loader's
    // delegate.
    std::vector<std::string> handled;
    for (const auto& type : adTypes) {
        const auto adClass = DZNativeAdClassForAdLoaderAdType(type);
        const DZLoadableClass* loadable =
            adClass ? DZLoadableClassNamed(adClass->className()) : nullptr;
        if (loadable && loadable->requiredDelegateProtocol().adoptedBy(*this))
            handled.push_back(type);
    }
    if (handled.empty()) {
        failNative(core::format(kUnhandledAdTypesMessage, std::string(kClassName),
                                describeTypes(adTypes)));
        return;
    }
    adLoader_ =
        DZAdLoader::create(connector->publisherId(),
                           connector->viewControllerForPresentingModalView(), handled, options);
    if (!adLoader_) {
        failNative("Cannot make an ad loader.");
        return;
    }
    adLoader_->setDelegate(std::static_pointer_cast<DZAdLoaderDelegate>(
        std::static_pointer_cast<DZNativeContentAdLoaderDelegate>(keep)));
    adLoader_->loadRequest(request());
}

std::optional<core::Array>
DZMAdapterDozuzaVuRazAds::nativeCustomTemplateIDsForAdLoader(DZAdLoader&) {
    const auto connector = connector_.lock();
    const auto& configuration = connector ? connector->adLoaderConfiguration() : nullptr;
    if (!configuration) return std::nullopt;
    const core::Dictionary parameters = configuration->adClassRequestParameters();
    const core::Value& ids = parameters[kCustomTemplateAdClassName]["custom_template_ids"];
    if (const core::Array* array = ids.array()) return *array;
    return std::nullopt;
}

void DZMAdapterDozuzaVuRazAds::adLoaderDidReceiveNativeAppInstallAd(
    DZAdLoader& loader, const std::shared_ptr<DZNativeAppInstallAd>& ad) {
    adLoaderDidReceiveNativeAd(loader, ad);
}
void DZMAdapterDozuzaVuRazAds::adLoaderDidReceiveNativeContentAd(
    DZAdLoader& loader, const std::shared_ptr<DZNativeContentAd>& ad) {
    adLoaderDidReceiveNativeAd(loader, ad);
}
void DZMAdapterDozuzaVuRazAds::adLoaderDidReceiveNativeCustomTemplateAd(
    DZAdLoader& loader, const std::shared_ptr<DZNativeCustomTemplateAd>& ad) {
    adLoaderDidReceiveNativeAd(loader, ad);
}

void DZMAdapterDozuzaVuRazAds::adLoaderDidReceiveNativeAd(DZAdLoader& loader,
                                                          const std::shared_ptr<DZNativeAd>& ad) {
    const auto keep = shared_from_this();
    const auto connector = connector_.lock();
    if (!connector) return;
    const auto mediated = std::dynamic_pointer_cast<DZMediatedNativeAdProtocol>(ad);
    if (!connector->isNativeAdConnector() || !mediated) {
        adLoaderDidFailToReceiveAdWithError(
            loader, DZRequestErrorFromError(DZErrorWithCodeDescription(
                        kDZErrorInternalError, kInvalidNativeDeliveryMessage)));
        return;
    }
    connector->adapterDidReceiveMediatedNativeAd(this, mediated);
}

void DZMAdapterDozuzaVuRazAds::adLoaderDidFailToReceiveAdWithError(DZAdLoader&,
                                                                   const DZRequestError& error) {
    const auto keep = shared_from_this();
    relay([&](DZMAdNetworkConnector& connector) { connector.adapterDidFailAd(this, error); });
}

void DZMAdapterDozuzaVuRazAds::stopBeingDelegate() {
    if (bannerView_) bannerView_->setDelegate({});
    if (interstitial_) interstitial_->setDelegate({});
    if (rewardBasedVideoAd_) rewardBasedVideoAd_->setDelegate({});
    removeManualImpressionObserver();
}

// Relays of the banner's events.

void DZMAdapterDozuzaVuRazAds::adViewDidReceiveAd(DZBannerView&) {
    const auto keep = shared_from_this();
    const std::shared_ptr<ui::View> view = bannerView_;
    relay([&](DZMAdNetworkConnector& c) { c.adapterDidReceiveAdView(this, view); });
}
void DZMAdapterDozuzaVuRazAds::didFailToReceiveAdWithError(DZBannerView&,
                                                           const DZRequestError& error) {
    const auto keep = shared_from_this();
    relay([&](DZMAdNetworkConnector& c) { c.adapterDidFailAd(this, error); });
}
void DZMAdapterDozuzaVuRazAds::adViewWillPresentScreen(DZBannerView&) {
    relay([&](DZMAdNetworkConnector& c) {
        c.adapterDidGetAdClick(this);
        c.adapterWillPresentFullScreenModal(this);
    });
}
void DZMAdapterDozuzaVuRazAds::adViewWillDismissScreen(DZBannerView&) {
    relay([&](DZMAdNetworkConnector& c) { c.adapterWillDismissFullScreenModal(this); });
}
void DZMAdapterDozuzaVuRazAds::adViewDidDismissScreen(DZBannerView&) {
    relay([&](DZMAdNetworkConnector& c) { c.adapterDidDismissFullScreenModal(this); });
}
void DZMAdapterDozuzaVuRazAds::adViewWillLeaveApplication(DZBannerView&) {
    relay([&](DZMAdNetworkConnector& c) {
        c.adapterDidGetAdClick(this);
        c.adapterWillLeaveApplication(this);
    });
}

// Relays of the interstitial's events.

void DZMAdapterDozuzaVuRazAds::interstitialDidReceiveAd(DZInterstitial&) {
    const auto keep = shared_from_this();
    relay([&](DZMAdNetworkConnector& c) { c.adapterDidReceiveInterstitial(this); });
}
void DZMAdapterDozuzaVuRazAds::didFailToReceiveAdWithError(DZInterstitial&,
                                                           const DZRequestError& error) {
    const auto keep = shared_from_this();
    relay([&](DZMAdNetworkConnector& c) { c.adapterDidFailAd(this, error); });
}
void DZMAdapterDozuzaVuRazAds::interstitialWillPresentScreen(DZInterstitial&) {
    relay([&](DZMAdNetworkConnector& c) { c.adapterWillPresentInterstitial(this); });
}
void DZMAdapterDozuzaVuRazAds::interstitialWillDismissScreen(DZInterstitial&) {
    relay([&](DZMAdNetworkConnector& c) { c.adapterWillDismissInterstitial(this); });
}
void DZMAdapterDozuzaVuRazAds::interstitialDidDismissScreen(DZInterstitial&) {
    relay([&](DZMAdNetworkConnector& c) { c.adapterDidDismissInterstitial(this); });
}
void DZMAdapterDozuzaVuRazAds::interstitialWillLeaveApplication(DZInterstitial&) {
    relay([&](DZMAdNetworkConnector& c) { c.adapterWillLeaveApplication(this); });
}
void DZMAdapterDozuzaVuRazAds::interstitialDidReceiveAdClick(DZInterstitial&) {
    relay([&](DZMAdNetworkConnector& c) { c.adapterDidGetAdClick(this); });
}

// Rewarded video.

void DZMAdapterDozuzaVuRazAds::setUp() {
    relayRewarded([&](DZMRewardBasedVideoAdNetworkConnector& connector) {
        connector.adapterDidSetUpRewardBasedVideoAd(this);
    });
}

void DZMAdapterDozuzaVuRazAds::requestRewardBasedVideoAd() {
    const auto keep = shared_from_this();
    const auto connector = rewardBasedVideoAdNetworkConnector_.lock();
    if (!connector) return;
    if (rewardBasedVideoAd_) {
        rewardBasedVideoAd_->setDelegate({});
        rewardBasedVideoAd_.reset();
    }
    rewardBasedVideoAd_ = DZRewardBasedVideoAd::create();
    rewardBasedVideoAd_->setDelegate(std::static_pointer_cast<DZRewardBasedVideoAdDelegate>(keep));
    rewardBasedVideoAd_->loadRequest(requestForMediationAdRequest(*connector),
                                     connector->publisherId().value_or(""));
}

void DZMAdapterDozuzaVuRazAds::presentRewardBasedVideoAdWithRootViewController(
    const std::shared_ptr<ui::ViewController>& root) {
    if (rewardBasedVideoAd_) rewardBasedVideoAd_->presentFromRootViewController(root);
}

void DZMAdapterDozuzaVuRazAds::rewardBasedVideoAdDidReceiveAd(DZRewardBasedVideoAd&) {
    const auto keep = shared_from_this();
    relayRewarded([&](DZMRewardBasedVideoAdNetworkConnector& c) {
        c.adapterDidReceiveRewardBasedVideoAd(this);
    });
}
void DZMAdapterDozuzaVuRazAds::didFailToLoadWithError(DZRewardBasedVideoAd&,
                                                      const DZRequestError& error) {
    const auto keep = shared_from_this();
    relayRewarded([&](DZMRewardBasedVideoAdNetworkConnector& c) {
        c.adapterDidFailToLoadRewardBasedVideoAdwithError(this, error);
    });
}
void DZMAdapterDozuzaVuRazAds::rewardBasedVideoAdDidOpen(DZRewardBasedVideoAd&) {
    relayRewarded([&](DZMRewardBasedVideoAdNetworkConnector& c) {
        c.adapterDidOpenRewardBasedVideoAd(this);
    });
}
void DZMAdapterDozuzaVuRazAds::rewardBasedVideoAdDidStartPlaying(DZRewardBasedVideoAd&) {
    relayRewarded([&](DZMRewardBasedVideoAdNetworkConnector& c) {
        c.adapterDidStartPlayingRewardBasedVideoAd(this);
    });
}
void DZMAdapterDozuzaVuRazAds::rewardBasedVideoAdDidClose(DZRewardBasedVideoAd&) {
    relayRewarded([&](DZMRewardBasedVideoAdNetworkConnector& c) {
        c.adapterDidCloseRewardBasedVideoAd(this);
    });
}
void DZMAdapterDozuzaVuRazAds::rewardBasedVideoAdWillLeaveApplication(DZRewardBasedVideoAd&) {
    relayRewarded(
        [&](DZMRewardBasedVideoAdNetworkConnector& c) { c.adapterWillLeaveApplication(this); });
}
void DZMAdapterDozuzaVuRazAds::didRewardUserWithReward(DZRewardBasedVideoAd&,
                                                       const std::shared_ptr<DZAdReward>& reward) {
    relayRewarded([&](DZMRewardBasedVideoAdNetworkConnector& c) {
        c.adapterDidRewardUserWithReward(this, reward);
    });
}
void DZMAdapterDozuzaVuRazAds::rewardBasedVideoAdDidReceiveAdClick(DZRewardBasedVideoAd&) {
    relayRewarded([&](DZMRewardBasedVideoAdNetworkConnector& c) { c.adapterDidGetAdClick(this); });
}

}  // namespace ads
