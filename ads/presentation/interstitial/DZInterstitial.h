#pragma once
// The public full-screen ad: the app makes it with an ad unit id, loads it
// once, waits until it is ready and presents it from a view controller of
// its own; it can be presented at most once, and every load after that
// fails with SDK error 6. It owns one slot, made on the first load or taken
// already loaded from the pre-load cache when the pool is on
// ("/dozuza/ads/dzads:interstitial_ad_pool:enabled"), and decides the
// slot's gates: no reloads, no load once used, and (with the
// application-orientation flag on and split screen off) only responses in
// an orientation the app supports (else SDK error 13).
//
// Presenting goes through a DZInterstitialPresenting made for each slot by
// the installed presenter factory. A present that does not go ahead (no
// root controller, no placement, no presenter, refused by it, or an
// exception) counts no impression, leaves the interstitial usable and
// tells the delegate through adPresentationDidFail.
//
// Main thread; delegate calls go through DZRunOnMainThread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ads/core/request/DZError.h"
#include "ads/core/slot/DZSlotAdEventDelegate.h"
#include "ads/core/slot/DZSlotAdLoadDelegate.h"
#include "ads/core/slot/DZSlotAdResponseDelegate.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/mediation/DZAdMediationDelegate.h"
#include "ads/presentation/interstitial/DZInterstitialPresenting.h"
#include "ads/web/dmsg/DZRewardBasedVideoAdDMSGHandlerDelegate.h"
#include "gfx/Geometry.h"

namespace ui {
class ViewController;
}

namespace ads {

class DZBufferedSawmillLogger;
class DZInterstitialCache;
class DZInterstitialCacheEntry;
class DZInterstitialDelegate;
class DZInterstitialOwner;
class DZRequest;
class DZSawmillLogger;
class DZSlot;

class DZInterstitial : public DZSlotDelegate,
                       public DZSlotAdEventDelegate,
                       public DZSlotAdLoadDelegate,
                       public DZSlotAdResponseDelegate,
                       public DZAdMediationDelegate,
                       public DZRewardBasedVideoAdDMSGHandlerDelegate,
                       public std::enable_shared_from_this<DZInterstitial> {
public:
    static constexpr std::string_view kEventName = "interstitial";
    static constexpr std::string_view kPoolEnabledKey =
        "/dozuza/ads/dzads:interstitial_ad_pool:enabled";
    static constexpr std::string_view kOnlyApplicationOrientationKey =
        "/dozuza/ads/view_controller_only_supports_application_orientation";
    static constexpr std::string_view kPlayerReportingEnabledKey =
        "/dozuza/ads/dzads:interstitial_player_to_video_manager_reporting_enabled";
    static constexpr const char* kNotReadyMessage = "Cannot present interstitial. It is not ready.";
    static constexpr const char* kOrientationMessage =
        "Ad cannot be presented. Application does not support the ad's orientation.";
    static constexpr const char* kSizeMessage =
        "The interstitial size differs from the current window size.";
    static constexpr const char* kPresentedTimestamp = "native:view_show";

    [[nodiscard]] static std::shared_ptr<DZInterstitial> create(std::string adUnitID = "");
    ~DZInterstitial() override;
    DZInterstitial(const DZInterstitial&) = delete;
    DZInterstitial& operator=(const DZInterstitial&) = delete;

    [[nodiscard]] virtual std::string className() const { return "DZInterstitial"; }

    // Where presenters come from (the full-screen interstitial controller
    // in the product, defaultPresenterFactory); an empty factory makes none.
    static void setPresenterFactory(DZInterstitialPresenterFactory factory);
    [[nodiscard]] static DZInterstitialPresenterFactory defaultPresenterFactory();
    // The cache loads take entries from: it becomes the shared one
    // (DZInterstitialCache::setSharedInstanceForTesting).
    static void setCacheForTesting(std::shared_ptr<DZInterstitialCache> cache);

    // Public.
    virtual void loadRequest(const std::shared_ptr<DZRequest>& request);
    [[nodiscard]] bool isReady() const;
    virtual void presentFromRootViewController(const std::shared_ptr<ui::ViewController>& root);
    void cancel();
    [[nodiscard]] std::optional<std::string> adNetworkClassName() const;
    [[nodiscard]] const std::string& adUnitID() const { return adUnitID_; }
    void setAdUnitID(std::string adUnitID);
    [[nodiscard]] std::shared_ptr<DZInterstitialDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZInterstitialDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    [[nodiscard]] bool hasBeenUsed() const { return hasBeenUsed_; }

    // For the SDK's other parts.
    void setMediated() { isMediated_ = true; }
    [[nodiscard]] bool isMediated() const { return isMediated_; }
    [[nodiscard]] const std::shared_ptr<DZSlot>& slot() const { return slot_; }
    [[nodiscard]] const std::shared_ptr<DZInterstitialPresenting>& viewController() const {
        return viewController_;
    }
    [[nodiscard]] const std::shared_ptr<DZInterstitialOwner>& interstitialOwner() const {
        return interstitialOwner_;
    }
    [[nodiscard]] const std::optional<Error>& alreadyUsedError() const { return alreadyUsedError_; }
    void createSlot();
    void loadSlotFromCacheEntry(const std::shared_ptr<DZInterstitialCacheEntry>& entry);
    [[nodiscard]] bool canPresentFullScreen() const;
    [[nodiscard]] static bool canFitAdSize(gfx::Size adSize, gfx::Size windowSize,
                                           double threshold);
    void adPresentationDidFail();
    // The orientation gate shared with the cache entries: true with split
    // screen on or the application-orientation flag off, else true only
    // when the app supports the response's orientations (SDK error 13 when
    // it does not).
    [[nodiscard]] static bool applicationSupportsAdResponse(const std::shared_ptr<DZAd>& ad,
                                                            std::optional<Error>* error);

    // DZSlotDelegate.
    DZSlotDelegateKind slotDelegateKind() const override {
        return DZSlotDelegateKind::interstitial;
    }
    // True while its delegate is a rewarded video ad.
    bool servesRewardedAd() const override;
    std::optional<bool> shouldLoadRequest(DZSlot& slot, const std::shared_ptr<DZRequest>& request,
                                          std::optional<Error>* error) override;
    std::optional<bool> slotShouldReloadCurrentRequest(DZSlot& slot) override;
    std::shared_ptr<ui::ViewController> rootViewController() const override {
        return rootViewController_.lock();
    }
    void slotDidLoadMRAIDAd(DZSlot& slot) override;
    void slotDidReceiveAdClick(DZSlot& slot) override;
    bool shouldChangeAudioSessionCategoryTo(DZSlot& slot, const std::string& category) override;
    bool shouldDisableVideoEventReportToAudioVideoManager(DZSlot& slot,
                                                          DZAudioVideoManager& manager) override;
    // DZSlotAdLoadDelegate.
    void slotFinishedLoadingAdContent(DZSlot& slot) override;
    void didFailToLoadAdContentWithError(DZSlot& slot, const Error& error) override;
    // DZSlotAdEventDelegate.
    void slotWillPresentScreen(DZSlot& slot) override;
    void slotWillDismissScreen(DZSlot& slot) override;
    void slotDidDismissScreen(DZSlot& slot) override;
    void slotWillLeaveApplication(DZSlot& slot) override;
    // DZSlotAdResponseDelegate.
    bool shouldProcessAdResponse(DZSlot& slot, const std::shared_ptr<DZAd>& ad,
                                 std::optional<Error>* error) override;
    void willProcessMediatedAdResponse(DZSlot& slot, const std::shared_ptr<DZAd>& ad) override;
    // DZAdMediationDelegate.
    std::shared_ptr<DZMAdNetworkConnector>
    mediationConnectorForConfiguration(const std::shared_ptr<DZMConfig>& configuration,
                                       const std::shared_ptr<DZMAdNetworkConfig>& network) override;
    // DZRewardBasedVideoAdDMSGHandlerDelegate.
    void rewardBasedVideoAdDMSGHandlerDidReceiveStartVideoNotification(
        DZRewardBasedVideoAdDMSGHandler& handler) override;
    void didReceiveRewardNotificationWithRewardItem(DZRewardBasedVideoAdDMSGHandler& handler,
                                                    const std::shared_ptr<DZAdReward>& item) override;

protected:
    struct Token {};

public:
    explicit DZInterstitial(Token, std::string adUnitID);

protected:
    template <typename T>
    [[nodiscard]] static std::shared_ptr<T> make(std::string adUnitID) {
        auto interstitial = std::make_shared<T>(Token{}, std::move(adUnitID));
        static_cast<DZInterstitial&>(*interstitial).commonInit();
        return interstitial;
    }
    void commonInit();
    void logEvent(const std::optional<core::Dictionary>& event) const;
    // Runs call with the delegate on the main thread, when there is one.
    void tellDelegate(std::function<void(DZInterstitialDelegate&, DZInterstitial&)> call);

private:
    void interstitialCreatedSlot();
    void rootObjectLoggerChanged();
    void adoptSlot(const std::shared_ptr<DZSlot>& slot);
    [[nodiscard]] std::shared_ptr<const void> loggingObject() const;

    std::optional<Error> alreadyUsedError_;
    std::shared_ptr<DZInterstitialOwner> interstitialOwner_;
    std::weak_ptr<DZSawmillLogger> logger_;
    std::unique_ptr<DZBufferedSawmillLogger> bufferedLogger_;
    bool isMediated_ = false;
    bool adUnitExposureBegan_ = false;
    bool hasBeenUsed_ = false;
    std::string adUnitID_;
    std::weak_ptr<DZInterstitialDelegate> delegate_;
    std::weak_ptr<ui::ViewController> rootViewController_;
    std::shared_ptr<DZInterstitialPresenting> viewController_;
    std::shared_ptr<DZSlot> slot_;
    bool observesRootLogger_ = false;
};

}  // namespace ads
