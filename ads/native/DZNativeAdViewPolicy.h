#pragma once
// Binds a native ad to the view that shows it. The app (or one of the SDK's
// publisher views) puts the ad's assets into views of its own inside one ad
// view and names each asset view by its asset id; the policy
// - corrects the asset views' user interaction (media views take touches,
//   every other asset view leaves them to the ad view),
// - places the ad's AdChoices view in the corner the ad asks for (or hands
//   it to the app's own AdChoices container when the ad allows that) and
//   keeps the ad's HTML overlay on top of the ad view, the AdChoices view
//   right beneath it,
// - turns taps on the ad view into clicks on the asset under the finger,
//   with the signal dictionaries that describe the layout, and routes the
//   clicks of the ad's video from its media view,
// - records the impression as soon as any part of the ad view is on screen
//   (at once, or through an impression monitor), then runs Live View
//   reporting through a web view borrowed from the SDK core controller,
// - keeps the ad unit's exposure monitor.
//
// Lifetime: the tap recognizer it adds to the ad view holds it, so it lives
// until unregisterAdView takes its recognizers off and the last holder lets
// go. The ad view is held weakly.
//
// Threading: main thread. Impression tracking after binding and the monitor
// shutdown after unregistering run on a later turn of the main queue.

#include <cstdint>
#include <map>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ads/core/sdkcore/DZAdViewLiveViewMonitoring.h"
#include "ads/native/DZNativeAdAssetNames.h"
#include "ads/web/view/DZImpressionMonitor.h"
#include "ads/web/view/DZLiveViewMonitor.h"
#include "core/Notification.h"
#include "core/NotificationCenter.h"
#include "core/Value.h"
#include "gfx/Geometry.h"
#include "ui/GestureRecognizer.h"
#include "ui/View.h"

namespace ads {

class DZAdExposureMonitor;
class DZGestureRecognizer;
class DZMediaView;
class DZNativeAd;
class DZNativeAdTapGestureRecognizer;
class DZNativeAdViewPolicyDelegate;
class DZOverlayView;
class DZSDKCoreController;
class DZSDKCoreWebView;

class DZNativeAdViewPolicy : public DZImpressionMonitorDelegate,
                             public ui::GestureRecognizerDelegate,
                             public DZLiveViewMonitorDelegate,
                             public DZAdViewLiveViewMonitoring,
                             public std::enable_shared_from_this<DZNativeAdViewPolicy> {
public:
    static constexpr std::string_view kIndiscriminateRecognitionKey =
        "/dozuza/ads/native-indiscriminate-recognition";
    static constexpr const char* kLiveViewAdFormat = "native_advanced";
    static constexpr const char* kMediaViewInteractionMessage =
        "User interactions must be enabled on the DZMediaView view to enable media "
        "interaction.\nuserInteractionEnabled has been set to YES on %@.";
    static constexpr const char* kAssetViewInteractionMessage =
        "User interactions must be disabled on the asset view to enable click "
        "handling.\nuserInteractionEnabled has been set to NO on %@.";

    // Corners of the AdChoices view.
    static constexpr std::int64_t kTopRight = 0;
    static constexpr std::int64_t kTopLeft = 1;
    static constexpr std::int64_t kBottomRight = 2;
    static constexpr std::int64_t kBottomLeft = 3;

    using AssetViews = std::map<std::string, std::shared_ptr<ui::View>>;

    // nullptr without an ad view or any of the three names. Takes over the
    // ad view's taps: a policy already registered there is unregistered.
    [[nodiscard]] static std::shared_ptr<DZNativeAdViewPolicy>
    create(const std::shared_ptr<ui::View>& adView,
           const std::optional<std::string>& attributionIconAssetName,
           const std::optional<std::string>& attributionTextAssetName,
           const std::optional<std::string>& backgroundAssetName, bool isAdViewOwnedByPublisher);
    ~DZNativeAdViewPolicy() override;
    DZNativeAdViewPolicy(const DZNativeAdViewPolicy&) = delete;
    DZNativeAdViewPolicy& operator=(const DZNativeAdViewPolicy&) = delete;

    // Asset views by asset id. Replaces the whole map.
    void setAssetViews(const AssetViews& assetViews);
    // Replaces the view held in the caller's weak outlet by view: the old
    // one leaves the map, the new one is mapped to name and stored in the
    // outlet. Nothing without an outlet or when it already holds view.
    void replaceAssetWithName(const std::string& name, const std::shared_ptr<ui::View>& view,
                              std::weak_ptr<ui::View>* weakReferencePointer);
    // The mapped asset views that still exist, with their names, in the
    // order they were mapped.
    [[nodiscard]] std::vector<std::pair<std::shared_ptr<ui::View>, std::string>>
    assetViewAssetNames() const;
    [[nodiscard]] std::optional<std::string> assetNameForView(const ui::View* view) const;

    void setNativeAd(const std::shared_ptr<DZNativeAd>& nativeAd);
    [[nodiscard]] const std::shared_ptr<DZNativeAd>& nativeAd() const { return nativeAd_; }
    [[nodiscard]] std::shared_ptr<DZNativeAdViewPolicyDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZNativeAdViewPolicyDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // Called by the ad view.
    // A publisher view's media view or ad changed: tells the ad whether its
    // unfinished video is being shown, then on the next turn hands the ad's
    // content to the media view `currentMediaView` answers by then.
    static void showMediaContent(const std::shared_ptr<DZNativeAdViewPolicy>& policy,
                                 std::function<std::shared_ptr<DZMediaView>()> currentMediaView);
    void adViewDidLayoutSubviews();
    void adViewDidMoveToSuperview();

    // Takes the recognizers off the ad view; the monitors stop on the next
    // main-queue turn.
    void unregisterAdView();

    // Placement.
    void updateAdChoicesView();
    void updateAdChoicesContentView();
    void updateOverlay();
    void orderViews();

    // Signal dictionaries.
    [[nodiscard]] core::Dictionary nativeAdSignalDictionary() const;
    [[nodiscard]] static core::Dictionary
    signalDictionaryWithAssetView(const std::shared_ptr<ui::View>& view,
                                  const std::optional<std::string>& assetName,
                                  const std::shared_ptr<ui::View>& adView);
    [[nodiscard]] core::Dictionary
    tapHandlingEnvironmentWithTapLocation(gfx::Point location,
                                          const std::optional<std::string>& tappedViewName) const;

    // Clicks.
    void handleTap(ui::GestureRecognizer& recognizer);
    void handleVideoClickNotification(const core::Notification& notification);

    // Impressions and Live View.
    void handleImpressionTracking();
    void startLiveViewReportingIfEnabled();
    void finishLiveViewReporting();

    // DZImpressionMonitorDelegate.
    void impressionMonitorDidMonitorImpression(DZImpressionMonitor& monitor) override;
    // DZLiveViewMonitorDelegate.
    void liveViewMonitorDidRefresh(DZLiveViewMonitor& monitor) override;
    // DZAdViewLiveViewMonitoring.
    void liveViewVisibilityChanged(bool visible) override;
    bool liveViewMonitoringStarted(std::uint64_t receiverKind) override;
    void liveViewMonitoringDidStop(std::uint64_t receiverKind) override;
    // ui::GestureRecognizerDelegate.
    bool
    shouldRecognizeSimultaneouslyWithGestureRecognizer(const ui::GestureRecognizer& recognizer,
                                                       const ui::GestureRecognizer& other) override;

    // The core controller that lends the Live View web view; the shared
    // one unless set.
    void setSDKCoreController(std::shared_ptr<DZSDKCoreController> controller) {
        SDKCoreController_ = std::move(controller);
    }

    // State.
    [[nodiscard]] std::shared_ptr<ui::View> adView() const { return adView_.lock(); }
    [[nodiscard]] const std::string& attributionIconAssetName() const {
        return attributionIconAssetName_;
    }
    [[nodiscard]] const std::string& attributionTextAssetName() const {
        return attributionTextAssetName_;
    }
    [[nodiscard]] const std::string& backgroundAssetName() const { return backgroundAssetName_; }
    [[nodiscard]] bool isAdViewOwnedByPublisher() const { return isAdViewOwnedByPublisher_; }
    [[nodiscard]] std::int64_t adChoicesViewCorner() const { return adChoicesViewCorner_; }
    [[nodiscard]] const std::shared_ptr<ui::View>& adChoicesContentView() const {
        return adChoicesContentView_;
    }
    [[nodiscard]] std::shared_ptr<ui::View> adChoicesViewFromPublisher() const {
        return weakAdChoicesViewFromPublisher_.lock();
    }
    [[nodiscard]] const std::vector<ui::LayoutConstraintPtr>& adChoicesViewConstraints() const {
        return adChoicesViewConstraints_;
    }
    [[nodiscard]] std::shared_ptr<DZOverlayView> overlayView() const { return overlayView_.lock(); }
    [[nodiscard]] std::shared_ptr<DZNativeAdTapGestureRecognizer> singleTap() const;
    [[nodiscard]] std::shared_ptr<ui::GestureRecognizer> touchGestureRecognizer() const;
    [[nodiscard]] const std::shared_ptr<DZImpressionMonitor>& impressionMonitor() const {
        return impressionMonitor_;
    }
    [[nodiscard]] const std::shared_ptr<DZAdExposureMonitor>& adExposureMonitor() const {
        return adExposureMonitor_;
    }
    [[nodiscard]] const std::shared_ptr<DZLiveViewMonitor>& liveViewMonitor() const {
        return liveViewMonitor_;
    }
    [[nodiscard]] std::uint64_t liveViewID() const { return liveViewID_; }
    [[nodiscard]] const std::shared_ptr<DZSDKCoreWebView>& SDKCoreWebView() const {
        return SDKCoreWebView_;
    }

private:
    struct Token {};

public:
    DZNativeAdViewPolicy(Token, const std::shared_ptr<ui::View>& adView,
                         std::string attributionIconAssetName, std::string attributionTextAssetName,
                         std::string backgroundAssetName, bool isAdViewOwnedByPublisher);

private:
    struct AssetEntry {
        std::weak_ptr<ui::View> view;
        const ui::View* address = nullptr;
        std::string name;
    };

    void addUserInteraction();
    void mapAssetView(const std::shared_ptr<ui::View>& view, const std::string& name);
    void unmapAssetView(const ui::View* view);
    void updateAdChoicesViewConstraints();
    [[nodiscard]] bool sdkRendersAdChoicesView() const;
    [[nodiscard]] bool adHasVideo() const;
    void beginObservingVideoClickNotifications();
    void stopObservingVideoClickNotifications();
    void checkForImpression();
    void recordImpression();
    void stopImpressionMonitoring();
    void finishAdExposureMonitor();
    void sendLiveViewState(bool unloaded);
    void startLiveViewMonitoring();
    [[nodiscard]] std::shared_ptr<DZSDKCoreController> SDKCoreController() const;

    std::weak_ptr<ui::View> adView_;
    std::shared_ptr<DZNativeAd> nativeAd_;
    std::weak_ptr<DZNativeAdViewPolicyDelegate> delegate_;
    std::vector<AssetEntry> assetViewAssetNames_;
    std::string attributionIconAssetName_;
    std::string attributionTextAssetName_;
    std::string backgroundAssetName_;
    bool isAdViewOwnedByPublisher_ = false;
    std::int64_t adChoicesViewCorner_ = kTopRight;
    std::shared_ptr<ui::View> adChoicesContentView_;
    std::weak_ptr<ui::View> weakAdChoicesViewFromPublisher_;
    std::vector<ui::LayoutConstraintPtr> adChoicesViewConstraints_;
    std::weak_ptr<DZOverlayView> overlayView_;
    std::weak_ptr<DZNativeAdTapGestureRecognizer> singleTap_;
    std::weak_ptr<ui::GestureRecognizer> touchGestureRecognizer_;
    std::shared_ptr<DZImpressionMonitor> impressionMonitor_;
    std::shared_ptr<DZAdExposureMonitor> adExposureMonitor_;
    std::shared_ptr<DZLiveViewMonitor> liveViewMonitor_;
    std::uint64_t liveViewID_ = 0;
    std::shared_ptr<DZSDKCoreWebView> SDKCoreWebView_;
    std::shared_ptr<DZSDKCoreController> SDKCoreController_;
    core::NotificationCenter::Token willResignActiveObserver_;
    core::NotificationCenter::Token didBecomeActiveObserver_;
    core::NotificationCenter::Token videoClickObserver_;
};

}  // namespace ads
