#pragma once
// The public banner: a view the host app places in its layout and gives an
// ad unit identifier, a root view controller and a request. It owns one
// reloadable slot, which carries the load cycle; the banner decides around
// it:
// - its size: the ad size sets the frame; a frame or bounds of another size
//   set from outside become a new ad size (known sizes snap, a fluid size
//   keeps its height), keeping the origin;
// - the load gate (a valid ad size and a root view controller, else SDK
//   error 0) and the refresh gate (before the first success always; then
//   only in a window, with no hidden view on the way up to it, and with the
//   app active unless background reloading is on);
// - the view hierarchy sent with each request ("view_hierarchy": the
//   banner's class and up to "/dozuza/ads/ad_key_parent_view_count"
//   parents, 20 by default);
// - the publisher's callbacks on the main thread; a failure re-arms the
//   slot's reload timer;
// - "bannerview" events to the load's event log, exposure monitoring, the
//   video controller that follows the shown ad.
// A banner is fully visible or fully transparent: any alpha but 0 is 1.
//
// Main thread, except the view hierarchy and the banner key, which are
// guarded by the serial queue "com.dozuza.vuraz.banner-view".

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ads/core/request/DZAdSize.h"
#include "ads/core/request/DZError.h"
#include "ads/core/slot/DZSlotAdEventDelegate.h"
#include "ads/core/slot/DZSlotAdKeyDelegate.h"
#include "ads/core/slot/DZSlotAdLoadDelegate.h"
#include "ads/core/slot/DZSlotAdResponseDelegate.h"
#include "ads/mediation/DZAdMediationDelegate.h"
#include "core/Queue.h"
#include "core/Value.h"
#include "ui/View.h"

namespace ui {
class ViewController;
}

namespace ads {

class DZAdConfiguration;
class DZAdExposureMonitor;
class DZAdLoaderOptions;
class DZAdSizeDelegate;
class DZAdView;
class DZBannerViewDelegate;
class DZBufferedSawmillLogger;
class DZRequest;
class DZSawmillLogger;
class DZSlot;
class DZVideoController;
class DZVideoOptions;

class DZBannerView : public ui::View,
                     public DZSlotAdLoadDelegate,
                     public DZSlotAdEventDelegate,
                     public DZSlotAdResponseDelegate,
                     public DZSlotAdKeyDelegate,
                     public DZAdMediationDelegate {
public:
    static constexpr std::string_view kEventName = "bannerview";
    static constexpr std::string_view kParentViewCountKey = "/dozuza/ads/ad_key_parent_view_count";
    static constexpr std::int64_t kDefaultParentViewCount = 20;
    static constexpr const char* kLockQueueLabel = "com.dozuza.vuraz.banner-view";
    // The intrinsic width of a fluid banner: none.
    static constexpr double kNoIntrinsicMetric = -1;

    // Each answers nullptr only when the banner's ad view cannot be made.
    [[nodiscard]] static std::shared_ptr<DZBannerView> create(const gfx::Rect& frame,
                                                              const DZAdSize& adSize);
    [[nodiscard]] static std::shared_ptr<DZBannerView> createWithAdSize(const DZAdSize& adSize);
    // The ad size's frame at that origin.
    [[nodiscard]] static std::shared_ptr<DZBannerView> createWithAdSize(const DZAdSize& adSize,
                                                                        gfx::Point origin);
    // The known ad size matching the frame's size.
    [[nodiscard]] static std::shared_ptr<DZBannerView> create(const gfx::Rect& frame = {});
    ~DZBannerView() override;

    // Its class as publishers know it.
    [[nodiscard]] virtual std::string className() const { return "DZBannerView"; }

    // Loading. A nil request loads a default one.
    virtual void loadRequest(const std::shared_ptr<DZRequest>& request);
    [[nodiscard]] core::Dictionary
    requestParametersForRequest(const std::shared_ptr<DZRequest>& request);

    // Public properties.
    [[nodiscard]] const std::optional<std::string>& adUnitID() const { return adUnitID_; }
    virtual void setAdUnitID(std::optional<std::string> adUnitID);
    [[nodiscard]] std::shared_ptr<ui::ViewController> rootViewController() const {
        return rootViewController_.lock();
    }
    void setRootViewController(const std::shared_ptr<ui::ViewController>& controller);
    // The size of the slot's ad type; all zero without one.
    [[nodiscard]] DZAdSize adSize() const;
    void setAdSize(const DZAdSize& adSize);
    [[nodiscard]] std::shared_ptr<DZBannerViewDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZBannerViewDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    [[nodiscard]] std::shared_ptr<DZAdSizeDelegate> adSizeDelegate() const {
        return adSizeDelegate_.lock();
    }
    void setAdSizeDelegate(std::weak_ptr<DZAdSizeDelegate> delegate) {
        adSizeDelegate_ = std::move(delegate);
    }
    [[nodiscard]] bool isAutoloadEnabled() const { return autoloadEnabled_; }
    void setAutoloadEnabled(bool enabled);
    void setAdOptions(const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options);
    [[nodiscard]] std::optional<std::string> adNetworkClassName() const;
    [[nodiscard]] bool hasAutoRefreshed() const;
    // rootAdView while the slot mediates, else nullptr.
    [[nodiscard]] std::shared_ptr<ui::View> mediatedAdView() const;
    // nullptr for a fluid search banner, which shows a page of its own.
    [[nodiscard]] const std::shared_ptr<DZVideoController>& videoController() const {
        return videoController_;
    }
    [[nodiscard]] std::shared_ptr<DZAdView> adView() const;

    // For the SDK's other parts.
    void setMediated() { isMediated_ = true; }
    [[nodiscard]] bool isMediated() const { return isMediated_; }
    void setAdSize(const DZAdSize& adSize, bool reload);
    void layoutSubviewsIfNeeded();
    [[nodiscard]] gfx::Rect frameInInterface() const;
    [[nodiscard]] std::optional<core::Dictionary> bannerKey() const;
    void setBannerKey(std::optional<core::Dictionary> key);
    [[nodiscard]] const std::shared_ptr<ui::View>& rootAdView() const { return rootAdView_; }
    void setRootAdView(const std::shared_ptr<ui::View>& view);
    // Both do nothing without a video controller.
    void resetVideoController();
    void processAdOptions();
    [[nodiscard]] const DZVideoOptions* videoOptions() const;
    [[nodiscard]] const std::shared_ptr<DZSlot>& slot() const { return slot_; }
    [[nodiscard]] bool hasLoadedAd() const { return hasLoadedAd_; }
    [[nodiscard]] bool hasInitialized() const { return hasInitialized_; }
    [[nodiscard]] const std::shared_ptr<DZAdExposureMonitor>& adExposureMonitor() const {
        return adExposureMonitor_;
    }

    // ui::View.
    void setFrame(const gfx::Rect& frame) override;
    void setBounds(const gfx::Rect& bounds) override;
    void setAlpha(double alpha) override;
    void layoutSubviews() override;
    [[nodiscard]] gfx::Size intrinsicContentSize() const override;
    void didMoveToWindow() override;

    // The slot's gates and events (its slot delegate forwards here).
    [[nodiscard]] bool shouldLoadRequest(std::optional<Error>* error);
    [[nodiscard]] bool shouldReloadCurrentRequest();
    void didReceiveAdView(const std::shared_ptr<ui::View>& view) { setRootAdView(view); }
    void contentSizeDidChange(gfx::Size size);
    [[nodiscard]] bool shouldChangeAudioSessionCategoryTo(const std::string& category);
    // Further slot questions and events a banner subclass answers; each
    // default is what the slot does when its owner is silent.
    [[nodiscard]] virtual bool slotShouldPreemptInProgressRequest(DZSlot& slot) {
        (void)slot;
        return false;
    }
    virtual void slotWillLoadAdWithRequest(DZSlot& slot,
                                           const std::shared_ptr<DZRequest>& request) {
        (void)slot, (void)request;
    }
    virtual void slotWillResizeToAdSize(DZSlot& slot, const DZAdSize& adSize) {
        (void)slot, (void)adSize;
    }
    [[nodiscard]] virtual std::optional<std::vector<DZBoxedValue>> slotValidAdSizes() const {
        return std::nullopt;
    }
    [[nodiscard]] virtual bool receivesAppEvents() const { return false; }
    virtual void slotDidReceiveAppEvent(DZSlot& slot, const std::string& name,
                                        const std::optional<std::string>& info) {
        (void)slot, (void)name, (void)info;
    }
    [[nodiscard]] virtual bool
    slotNotifyPublisherToRenderCustomRenderingAd(DZSlot& slot, const std::shared_ptr<DZAd>& ad,
                                                 std::optional<Error>* error) {
        (void)slot, (void)ad, (void)error;
        return false;
    }

    // DZSlotAdLoadDelegate.
    void slotFinishedLoadingAdContent(DZSlot& slot) override;
    void didFailToLoadAdContentWithError(DZSlot& slot, const Error& error) override;
    // DZSlotAdEventDelegate.
    void slotWillPresentScreen(DZSlot& slot) override;
    void slotWillDismissScreen(DZSlot& slot) override;
    void slotDidDismissScreen(DZSlot& slot) override;
    void slotWillLeaveApplication(DZSlot& slot) override;
    // DZSlotAdResponseDelegate.
    [[nodiscard]] bool shouldProcessAdResponse(DZSlot& slot, const std::shared_ptr<DZAd>& ad,
                                               std::optional<Error>* error) override;
    void willProcessMediatedAdResponse(DZSlot& slot, const std::shared_ptr<DZAd>& ad) override;
    // DZAdMediationDelegate: a banner connector for each network.
    [[nodiscard]] std::shared_ptr<DZMAdNetworkConnector>
    mediationConnectorForConfiguration(const std::shared_ptr<DZMConfig>& configuration,
                                       const std::shared_ptr<DZMAdNetworkConfig>& network) override;
    // DZSlotAdKeyDelegate.
    void cacheViewHierarchyInformationForSlot(DZSlot& slot) override;
    [[nodiscard]] std::optional<core::Dictionary>
    viewHierarchyInformationForSlot(DZSlot& slot) override;

protected:
    struct Token {};

public:
    DZBannerView(Token, const gfx::Rect& frame);

protected:
    // Builds a banner of class T (a subclass made with the same
    // constructor) and runs its common initialisation.
    template <typename T>
    [[nodiscard]] static std::shared_ptr<T> make(const gfx::Rect& frame, const DZAdSize& adSize) {
        auto view = std::make_shared<T>(Token{}, frame);
        if (!static_cast<DZBannerView&>(*view).commonInitWithAdSize(adSize)) return nullptr;
        return view;
    }
    // False when the slot cannot be made.
    [[nodiscard]] virtual bool commonInitWithAdSize(const DZAdSize& adSize);
    // The plain view geometry, without the banner's size rules.
    void applyFrame(const gfx::Rect& frame) { ui::View::setFrame(frame); }

private:
    class SlotOwner;

    void setAdSizeFromExternalCGSize(gfx::Size size);
    void layoutAdView();
    void rootObjectLoggerChanged();
    void logEvent(const std::optional<core::Dictionary>& event) const;
    [[nodiscard]] std::shared_ptr<const void> loggingObject() const;

    bool hasLoadedAd_ = false;
    bool hasInitialized_ = false;
    bool isMediated_ = false;
    std::optional<core::Dictionary> viewHierarchy_;
    std::shared_ptr<core::Queue> lockQueue_;
    bool setAdSizeAndReloadWasCalled_ = false;
    std::weak_ptr<DZSawmillLogger> logger_;
    std::unique_ptr<DZBufferedSawmillLogger> bufferedLogger_;
    std::shared_ptr<DZAdExposureMonitor> adExposureMonitor_;
    std::shared_ptr<DZAdConfiguration> adConfiguration_;
    std::optional<std::string> adUnitID_;
    std::optional<core::Dictionary> bannerKey_;
    bool autoloadEnabled_ = false;
    std::weak_ptr<ui::ViewController> rootViewController_;
    std::weak_ptr<DZBannerViewDelegate> delegate_;
    std::weak_ptr<DZAdSizeDelegate> adSizeDelegate_;
    std::shared_ptr<DZVideoController> videoController_;
    std::shared_ptr<ui::View> rootAdView_;
    std::shared_ptr<DZSlot> slot_;
    std::shared_ptr<SlotOwner> slotOwner_;
};

}  // namespace ads
