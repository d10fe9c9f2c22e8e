#pragma once
// The built-in adapter that fills a network with an ad of the SDK's own kind
// fetched through the core page instead of a network SDK. It asks the core
// controller for an ad with a flat parameter dictionary marked for
// adapter-less mediation ("dozuza-ad-url-mediation", which makes the page
// run "DUZO_getAdapterLessMediationAd"), and loads the ad the page returns
// into a private, mediated banner (never reloading) or interstitial whose
// delegate events it relays to its connector. It is the core controller's
// requester for that one request.
//
// One adapter serves one request: a second banner or interstitial request
// fails with code 0. Its failures are errors of the domain
// "com.dozuza.ads.DZMAdURLAdapter" (errors, not no fill, in the
// waterfall). After stopBeingDelegate() it ignores the core page and its ad
// objects no longer report to it. Main thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ads/core/sdkcore/DZSDKCoreControllerDelegate.h"
#include "ads/mediation/core/DZMAdNetworkAdapter.h"
#include "ads/mediation/core/DZMClassRegistry.h"
#include "ads/presentation/banner/DZBannerViewDelegate.h"
#include "ads/presentation/interstitial/DZInterstitialDelegate.h"

namespace ads {

class DZBannerView;
class DZInterstitial;
class DZMAdNetworkConnector;
class DZSDKCoreController;

class DZMAdURLAdapter : public DZMAdNetworkAdapter,
                        public DZSDKCoreControllerDelegate,
                        public DZBannerViewDelegate,
                        public DZInterstitialDelegate,
                        public DZInterstitialAdClickDelegate,
                        public std::enable_shared_from_this<DZMAdURLAdapter> {
public:
    static constexpr const char* kClassName = "DZMAdURLAdapter";
    static constexpr const char* kAdapterVersion = "1.0.0";
    static constexpr const char* kErrorDomain = "com.dozuza.ads.DZMAdURLAdapter";
    static constexpr const char* kMediationMarker = "dozuza-ad-url-mediation";

    enum ErrorCode : long {
        kErrorAlreadyInitialized = 0,
        kErrorCannotLoadAdURL = 1,
        kErrorNoAdObject = 2,
        kErrorEmptyAd = 3,
        kErrorInvalidRequest = 4,
        kErrorScriptFailed = 5,
    };

    [[nodiscard]] static DZMClassDescription classDescription();
    // nullptr without a connector.
    [[nodiscard]] static std::shared_ptr<DZMAdURLAdapter>
    create(const std::shared_ptr<DZMAdNetworkConnector>& connector);
    // The error the adapter reports for a code (the request id goes into
    // code 2's text).
    [[nodiscard]] static Error errorWithCode(long code, const std::string& requestID = {});

    ~DZMAdURLAdapter() override;
    DZMAdURLAdapter(const DZMAdURLAdapter&) = delete;
    DZMAdURLAdapter& operator=(const DZMAdURLAdapter&) = delete;

    // The core controller the ad is asked from: the one given here, else
    // the connector's slot's, else the shared one.
    void setSDKCoreController(std::shared_ptr<DZSDKCoreController> controller) {
        SDKCoreController_ = std::move(controller);
    }

    // DZMAdNetworkAdapter.
    void getBannerWithSize(const DZAdSize& adSize) override;
    void getInterstitial() override;
    void presentInterstitialFromRootViewController(
        const std::shared_ptr<ui::ViewController>& root) override;
    bool changeAdSizeTo(const DZAdSize& adSize) override;
    [[nodiscard]] bool isBannerAnimationOK(std::int64_t animationType) override;
    void stopBeingDelegate() override;
    [[nodiscard]] std::optional<std::string> adapterVersion() const override {
        return kAdapterVersion;
    }

    // DZSDKCoreControllerDelegate.
    [[nodiscard]] std::shared_ptr<DZCSITimeRecorder> adLoadActionTimeRecorder() override {
        return nullptr;
    }
    [[nodiscard]] std::optional<core::Dictionary> requestParameters() override;
    // 1 with a banner, else 2 with an interstitial, else 0.
    [[nodiscard]] std::uint64_t requestedAdType() override;
    void setRequestID(const std::string& requestID) override { requestID_ = requestID; }
    void loadAdURLWithParameters(const core::Dictionary& parameters) override;
    void loadAd(const std::shared_ptr<DZAd>& ad,
                const std::optional<core::Dictionary>& headers) override;
    void invalidJavaScriptRequest() override;
    void failedJavaScriptFile() override;

    // DZBannerViewDelegate.
    void adViewDidReceiveAd(DZBannerView& view) override;
    void didFailToReceiveAdWithError(DZBannerView& view, const DZRequestError& error) override;
    void adViewWillPresentScreen(DZBannerView& view) override;
    void adViewWillDismissScreen(DZBannerView& view) override;
    void adViewDidDismissScreen(DZBannerView& view) override;
    void adViewWillLeaveApplication(DZBannerView& view) override;
    // DZInterstitialDelegate and DZInterstitialAdClickDelegate.
    void interstitialDidReceiveAd(DZInterstitial& interstitial) override;
    void didFailToReceiveAdWithError(DZInterstitial& interstitial,
                                     const DZRequestError& error) override;
    void interstitialWillPresentScreen(DZInterstitial& interstitial) override;
    void interstitialWillDismissScreen(DZInterstitial& interstitial) override;
    void interstitialDidDismissScreen(DZInterstitial& interstitial) override;
    void interstitialWillLeaveApplication(DZInterstitial& interstitial) override;
    void interstitialDidReceiveAdClick(DZInterstitial& interstitial) override;

    [[nodiscard]] const std::shared_ptr<DZBannerView>& banner() const { return banner_; }
    [[nodiscard]] const std::shared_ptr<DZInterstitial>& interstitial() const {
        return interstitial_;
    }
    [[nodiscard]] const std::optional<std::string>& requestID() const { return requestID_; }
    [[nodiscard]] bool shouldRespondToSDKCore() const { return shouldRespondToSDKCore_; }

private:
    struct Token {};

public:
    DZMAdURLAdapter(Token, const std::shared_ptr<DZMAdNetworkConnector>& connector);

private:
    void startLoad();
    // Through the banner path when there is a banner, else the interstitial
    // path when there is one, else nowhere.
    void fail(long code);
    void relay(const std::function<void(DZMAdNetworkConnector&)>& call);
    [[nodiscard]] std::shared_ptr<DZSDKCoreController> coreController() const;

    std::weak_ptr<DZMAdNetworkConnector> connector_;
    std::shared_ptr<DZBannerView> banner_;
    std::shared_ptr<DZInterstitial> interstitial_;
    std::optional<std::string> requestID_;
    bool shouldRespondToSDKCore_ = true;
    std::shared_ptr<DZSDKCoreController> SDKCoreController_;
};

}  // namespace ads
