#pragma once
// The built-in adapter that runs a publisher's custom events: it makes the
// class named by the network's "class_name" (DZMClassRegistry), checks that
// it adopts the protocol of the requested format, hands it the network's
// "parameter" and "label" and a snapshot of the request
// (DZCustomEventRequest), and relays what the custom event reports to its
// connector. Failures reach the connector as errors of the domain
// "ad_mediation" with code 1 (counted as errors by the waterfall). Main
// thread.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/mediation/adapters/DZCustomEventBanner.h"
#include "ads/mediation/adapters/DZCustomEventInterstitial.h"
#include "ads/mediation/adapters/DZCustomEventNativeAd.h"
#include "ads/mediation/core/DZMAdNetworkAdapter.h"
#include "ads/mediation/core/DZMClassRegistry.h"

namespace ads {

class DZMAdNetworkConnector;

class DZMAdapterCustomEvents : public DZMAdNetworkAdapter,
                               public DZCustomEventBannerDelegate,
                               public DZCustomEventInterstitialDelegate,
                               public DZCustomEventNativeAdDelegate,
                               public std::enable_shared_from_this<DZMAdapterCustomEvents> {
public:
    static constexpr const char* kClassName = "DZMAdapterCustomEvents";
    static constexpr const char* kErrorDomain = "ad_mediation";

    [[nodiscard]] static DZMClassDescription classDescription();

    explicit DZMAdapterCustomEvents(const std::shared_ptr<DZMAdNetworkConnector>& connector);
    ~DZMAdapterCustomEvents() override;
    DZMAdapterCustomEvents(const DZMAdapterCustomEvents&) = delete;
    DZMAdapterCustomEvents& operator=(const DZMAdapterCustomEvents&) = delete;

    // DZMAdNetworkAdapter.
    void getBannerWithSize(const DZAdSize& adSize) override;
    void getInterstitial() override;
    void
    getNativeAdWithAdTypes(const std::vector<std::string>& adTypes,
                           const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options) override;
    void presentInterstitialFromRootViewController(
        const std::shared_ptr<ui::ViewController>& root) override;
    // Clears the banner's and the interstitial's delegates.
    void stopBeingDelegate() override;
    // The native custom event's answers; false without one.
    [[nodiscard]] std::optional<bool> handlesUserClicks() const override;
    [[nodiscard]] std::optional<bool> handlesUserImpressions() const override;

    // DZCustomEventBannerDelegate.
    void customEventBannerDidReceiveAd(DZCustomEventBanner& banner,
                                       const std::shared_ptr<ui::View>& view) override;
    void customEventBannerDidFailAd(DZCustomEventBanner& banner, const Error& error) override;
    void customEventBannerWasClicked(DZCustomEventBanner& banner) override;
    void customEventBannerClickDidOccurInAd(DZCustomEventBanner& banner,
                                            const std::shared_ptr<ui::View>& view) override;
    void customEventBannerWillPresentModal(DZCustomEventBanner& banner) override;
    void customEventBannerWillDismissModal(DZCustomEventBanner& banner) override;
    void customEventBannerDidDismissModal(DZCustomEventBanner& banner) override;
    void customEventBannerWillLeaveApplication(DZCustomEventBanner& banner) override;
    [[nodiscard]] std::shared_ptr<ui::ViewController>
    viewControllerForPresentingModalView() override;

    // DZCustomEventInterstitialDelegate.
    void customEventInterstitialDidReceiveAd(DZCustomEventInterstitial& interstitial) override;
    void customEventInterstitialDidReceiveAd(DZCustomEventInterstitial& interstitial,
                                             const std::shared_ptr<const void>& ad) override;
    void customEventInterstitialDidFailAd(DZCustomEventInterstitial& interstitial,
                                          const Error& error) override;
    void customEventInterstitialWasClicked(DZCustomEventInterstitial& interstitial) override;
    void customEventInterstitialWillPresent(DZCustomEventInterstitial& interstitial) override;
    void customEventInterstitialWillDismiss(DZCustomEventInterstitial& interstitial) override;
    void customEventInterstitialDidDismiss(DZCustomEventInterstitial& interstitial) override;
    void
    customEventInterstitialWillLeaveApplication(DZCustomEventInterstitial& interstitial) override;

    // DZCustomEventNativeAdDelegate.
    void customEventNativeAdDidReceiveMediatedNativeAd(
        DZCustomEventNativeAd& nativeAd,
        const std::shared_ptr<DZMediatedNativeAdProtocol>& ad) override;
    void customEventNativeAdDidFailToLoadWithError(DZCustomEventNativeAd& nativeAd,
                                                   const Error& error) override;

    [[nodiscard]] const std::shared_ptr<DZCustomEventBanner>& customEventBanner() const {
        return customEventBanner_;
    }
    [[nodiscard]] const std::shared_ptr<DZCustomEventInterstitial>&
    customEventInterstitial() const {
        return customEventInterstitial_;
    }
    [[nodiscard]] const std::shared_ptr<DZCustomEventNativeAd>& customEventNativeAd() const {
        return customEventNativeAd_;
    }

private:
    // The named class's new instance; nullptr after reporting why not.
    [[nodiscard]] std::shared_ptr<DZCustomEvent> customEventWithCredentials();
    void callBackToConnectorWithError(const std::string& message);
    // Tells the connector and the publisher's log.
    void failWithPublicMessage(const std::string& message);
    [[nodiscard]] std::optional<std::string> credential(const char* key) const;
    template <typename Call>
    void relay(const Call& call) {
        if (const auto connector = connector_.lock()) call(*connector);
    }

    std::weak_ptr<DZMAdNetworkConnector> connector_;
    std::shared_ptr<DZCustomEventBanner> customEventBanner_;
    std::shared_ptr<DZCustomEventInterstitial> customEventInterstitial_;
    std::shared_ptr<DZCustomEventNativeAd> customEventNativeAd_;
};

}  // namespace ads
