#pragma once
// The adapter of the SDK's own ad network: it lets our own ads take part in
// a mediation waterfall like any other network. For each format it makes
// the SDK's own public ad object (a banner view, an interstitial, a native
// ad loader or a private rewarded ad), loads it with a request rebuilt from the connector's
// targeting (DZRequest::requestWithMediationAdRequest, which carries the
// network's inline "ad" as "_ad"), under the ad unit the network names as
// its publisher id, and relays the object's callbacks to the connector.
//
// Banners: an inline ad's "ad_size" (or else the response's
// "default_ad_sz") replaces the requested size. With banner options in the
// connector's ad loader configuration, or "manual_impression_urls" in the
// inline ad, it is a publisher banner whose app events reach the connector
// and which records an impression whenever the connector announces a
// manual one. Every banner is mediated (no ad-unit exposure of its own)
// and its slot never reloads: the waterfall owns timing, refresh and
// pings. A banner click is a screen it
// opens or leaving the app; an interstitial's only its click callback.
//
// Native: only the ad types whose ad class this adapter can take as a
// loader delegate (content, app install, custom template); failures are SDK
// errors 11. The native ad object itself goes to the connector as the
// mediated native ad. The own ad objects' failures pass on unchanged.
//
// Rewarded: set-up succeeds at once (the rewarded waterfall may ask this
// network without waiting); each request replaces the private rewarded ad
// (never the shared one).
//
// Main thread.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/mediation/core/DZMAdNetworkAdapter.h"
#include "ads/mediation/core/DZMClassRegistry.h"
#include "ads/mediation/rewarded/DZMRewardBasedVideoAdNetworkAdapter.h"
#include "ads/native/DZAdLoaderDelegate.h"
#include "ads/presentation/DZAppEventDelegate.h"
#include "ads/presentation/banner/DZBannerViewDelegate.h"
#include "ads/presentation/interstitial/DZInterstitialDelegate.h"
#include "ads/presentation/rewarded/DZRewardBasedVideoAdDelegate.h"
#include "core/NotificationCenter.h"

namespace ads {

class DZAdLoader;
class DZBannerView;
class DZInterstitial;
class DZMAdNetworkConnector;
class DZMediationAdRequest;
class DZMRewardBasedVideoAdNetworkConnector;
class DZNativeAd;
class DZRequest;
class DZRewardBasedVideoAd;

class DZMAdapterDozuzaVuRazAds : public DZMAdNetworkAdapter,
                                 public DZMRewardBasedVideoAdNetworkAdapter,
                                 public DZBannerViewDelegate,
                                 public DZAppEventDelegate,
                                 public DZInterstitialDelegate,
                                 public DZInterstitialAdClickDelegate,
                                 public DZNativeAppInstallAdLoaderDelegate,
                                 public DZNativeContentAdLoaderDelegate,
                                 public DZNativeCustomTemplateAdLoaderDelegate,
                                 public DZRewardBasedVideoAdDelegate,
                                 public DZRewardBasedVideoAdClickDelegate,
                                 public std::enable_shared_from_this<DZMAdapterDozuzaVuRazAds> {
public:
    static constexpr const char* kClassName = "DZMAdapterDozuzaVuRazAds";
    static constexpr const char* kInvalidNativeConnectorMessage =
        "Connector used %@ isn't a valid connector for requesting native ad";
    static constexpr const char* kUnhandledAdTypesMessage =
        "%@ can't handle any of the requested ad types. %@";
    static constexpr const char* kInvalidNativeDeliveryMessage =
        "Invalid connector used for handling native ad.";

    [[nodiscard]] static DZMClassDescription classDescription();

    explicit DZMAdapterDozuzaVuRazAds(const std::shared_ptr<DZMAdNetworkConnector>& connector);
    explicit DZMAdapterDozuzaVuRazAds(
        const std::shared_ptr<DZMRewardBasedVideoAdNetworkConnector>& connector);
    // Stops being the delegate of what it made.
    ~DZMAdapterDozuzaVuRazAds() override;
    DZMAdapterDozuzaVuRazAds(const DZMAdapterDozuzaVuRazAds&) = delete;
    DZMAdapterDozuzaVuRazAds& operator=(const DZMAdapterDozuzaVuRazAds&) = delete;

    // The request for the connector's network; nullptr without a connector.
    [[nodiscard]] std::shared_ptr<DZRequest> request() const;
    // The request rebuilt from a mediation request for our own ad objects:
    // of the extras it carries over only the network's own inline ad.
    [[nodiscard]] static std::shared_ptr<DZRequest>
    requestForMediationAdRequest(const DZMediationAdRequest& mediationRequest);
    // The banner size for a request of adSize: the inline ad's "ad_size",
    // else the response's default ad size, else adSize.
    [[nodiscard]] DZAdSize bannerSizeForRequestedSize(const DZAdSize& adSize) const;

    // DZMAdNetworkAdapter.
    void getBannerWithSize(const DZAdSize& adSize) override;
    void getInterstitial() override;
    void
    getNativeAdWithAdTypes(const std::vector<std::string>& adTypes,
                           const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options) override;
    void presentInterstitialFromRootViewController(
        const std::shared_ptr<ui::ViewController>& root) override;
    bool changeAdSizeTo(const DZAdSize& adSize) override;
    [[nodiscard]] bool isBannerAnimationOK(std::int64_t animationType) override;
    // Also detaches the private rewarded ad.
    void stopBeingDelegate() override;
    [[nodiscard]] std::optional<std::string> adapterVersion() const override;

    // DZMRewardBasedVideoAdNetworkAdapter.
    void setUp() override;
    void requestRewardBasedVideoAd() override;
    void presentRewardBasedVideoAdWithRootViewController(
        const std::shared_ptr<ui::ViewController>& root) override;
    [[nodiscard]] std::optional<bool> handlesUserClicks() const override { return false; }
    [[nodiscard]] std::optional<bool> handlesUserImpressions() const override { return false; }

    // DZBannerViewDelegate.
    void adViewDidReceiveAd(DZBannerView& view) override;
    void didFailToReceiveAdWithError(DZBannerView& view, const DZRequestError& error) override;
    void adViewWillPresentScreen(DZBannerView& view) override;
    void adViewWillDismissScreen(DZBannerView& view) override;
    void adViewDidDismissScreen(DZBannerView& view) override;
    void adViewWillLeaveApplication(DZBannerView& view) override;
    // DZAppEventDelegate: a publisher banner's app events.
    using DZAppEventDelegate::didReceiveAppEvent;
    void didReceiveAppEvent(DZBannerView& banner, const std::string& name,
                            const std::optional<std::string>& info) override;
    // DZInterstitialDelegate and DZInterstitialAdClickDelegate.
    void interstitialDidReceiveAd(DZInterstitial& interstitial) override;
    void didFailToReceiveAdWithError(DZInterstitial& interstitial,
                                     const DZRequestError& error) override;
    void interstitialWillPresentScreen(DZInterstitial& interstitial) override;
    void interstitialWillDismissScreen(DZInterstitial& interstitial) override;
    void interstitialDidDismissScreen(DZInterstitial& interstitial) override;
    void interstitialWillLeaveApplication(DZInterstitial& interstitial) override;
    void interstitialDidReceiveAdClick(DZInterstitial& interstitial) override;
    // The ad loader delegates.
    void adLoaderDidFailToReceiveAdWithError(DZAdLoader& loader,
                                             const DZRequestError& error) override;
    void
    adLoaderDidReceiveNativeAppInstallAd(DZAdLoader& loader,
                                         const std::shared_ptr<DZNativeAppInstallAd>& ad) override;
    void adLoaderDidReceiveNativeContentAd(DZAdLoader& loader,
                                           const std::shared_ptr<DZNativeContentAd>& ad) override;
    void adLoaderDidReceiveNativeCustomTemplateAd(
        DZAdLoader& loader, const std::shared_ptr<DZNativeCustomTemplateAd>& ad) override;
    // The connector's ad loader configuration's "custom_template_ids" of
    // the custom template class.
    [[nodiscard]] std::optional<core::Array>
    nativeCustomTemplateIDsForAdLoader(DZAdLoader& loader) override;
    [[nodiscard]] std::string delegateClassName() const override { return kClassName; }
    // The rewarded ad's delegates.
    void rewardBasedVideoAdDidReceiveAd(DZRewardBasedVideoAd& ad) override;
    void didFailToLoadWithError(DZRewardBasedVideoAd& ad, const DZRequestError& error) override;
    void rewardBasedVideoAdDidOpen(DZRewardBasedVideoAd& ad) override;
    void rewardBasedVideoAdDidStartPlaying(DZRewardBasedVideoAd& ad) override;
    void rewardBasedVideoAdDidClose(DZRewardBasedVideoAd& ad) override;
    void rewardBasedVideoAdWillLeaveApplication(DZRewardBasedVideoAd& ad) override;
    void didRewardUserWithReward(DZRewardBasedVideoAd& ad,
                                 const std::shared_ptr<DZAdReward>& reward) override;
    void rewardBasedVideoAdDidReceiveAdClick(DZRewardBasedVideoAd& ad) override;

    [[nodiscard]] const std::shared_ptr<DZBannerView>& bannerView() const { return bannerView_; }
    [[nodiscard]] const std::shared_ptr<DZInterstitial>& interstitial() const {
        return interstitial_;
    }
    [[nodiscard]] const std::shared_ptr<DZAdLoader>& adLoader() const { return adLoader_; }
    [[nodiscard]] bool observesManualImpressions() const {
        return static_cast<bool>(manualImpressionObserver_);
    }
    [[nodiscard]] const std::shared_ptr<DZRewardBasedVideoAd>& rewardBasedVideoAd() const {
        return rewardBasedVideoAd_;
    }

private:
    void adLoaderDidReceiveNativeAd(DZAdLoader& loader, const std::shared_ptr<DZNativeAd>& ad);
    void relay(const std::function<void(DZMAdNetworkConnector&)>& call);
    void relayRewarded(const std::function<void(DZMRewardBasedVideoAdNetworkConnector&)>& call);
    void failNative(const std::string& message);
    // Whether a banner for the connector is a publisher banner: banner
    // options in its ad loader configuration, or "manual_impression_urls"
    // in its inline ad.
    [[nodiscard]] bool wantsPublisherBanner(const DZMAdNetworkConnector& connector) const;
    void removeManualImpressionObserver();

    std::weak_ptr<DZMAdNetworkConnector> connector_;
    std::shared_ptr<DZBannerView> bannerView_;
    std::shared_ptr<DZInterstitial> interstitial_;
    std::shared_ptr<DZAdLoader> adLoader_;
    std::weak_ptr<DZMRewardBasedVideoAdNetworkConnector> rewardBasedVideoAdNetworkConnector_;
    std::shared_ptr<DZRewardBasedVideoAd> rewardBasedVideoAd_;
    core::NotificationCenter::Token manualImpressionObserver_;
};

}  // namespace ads
