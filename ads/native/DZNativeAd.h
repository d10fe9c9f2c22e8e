#pragma once
// The common base of the native ad objects (content, app install, custom
// template). Made by the ad loader from one entry of a native response's
// "ads" array, it keeps the tracking and reporting switches of that entry,
// reports clicks and impressions through the native support page that
// runs in its slot's ad view ("dozuza.duzo.nativeAds.handleClickDmsg" and
// "handleImpressionPing"), offers the reporting calls publishers may be
// allowed to make, sends the debug-signal ping, relays the slot's screen
// events to its delegate and keeps the books of asset loading: which named
// assets were asked for and finished, whether a required one failed, and
// the completion handlers waiting for all of them.
//
// When it goes, a rendering statistics record it holds is appended, by
// template id, to the SDK-wide native ad statistics that later requests
// for the same template send back (at most the server's maximum, 10 by
// default, per template).
//
// Threading: main thread. The handler list and the started flag live on
// the serial queue "com.dozuza.vuraz.native-ad"; handlers always run on a
// later turn of the main queue, in the order given.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ads/core/request/DZError.h"
#include "ads/core/slot/DZSlotAdEventDelegate.h"
#include "ads/mediation/core/DZMediatedNativeAdProtocol.h"
#include "ads/native/DZLoadable.h"
#include "ads/native/DZNativeAdViewPolicyDelegate.h"
#include "core/NotificationCenter.h"
#include "core/Queue.h"
#include "core/URL.h"
#include "core/Value.h"

namespace ui {
class View;
class ViewController;
}  // namespace ui

namespace ads {

class DZMAdNetworkConfig;
class DZMAdNetworkConnector;
class DZMConfig;
class DZMediaContentDisplaying;
class DZMediatedNativeAd;
class DZNativeAdDelegate;
class DZSlot;
class DZVideoController;

class DZNativeAd : public DZLoadable,
                   public DZSlotAdEventDelegate,
                   public virtual DZMediatedNativeAdProtocol,
                   public DZNativeAdViewPolicyDelegate,
                   public std::enable_shared_from_this<DZNativeAd> {
public:
    using Options = DZLoadableClass::Options;

    static constexpr std::string_view kSupportURLKey = "/dozuza/ads/native_ad_support_url";
    static constexpr std::string_view kSupportPath = "/mads/static/mad/sdk/native/native_ads.html";
    static constexpr std::string_view kStatisticsMaxCountKey =
        "/dozuza/ads/dz:native_ad_statistics_max_count";
    static constexpr std::int64_t kDefaultStatisticsMaxCount = 10;
    static constexpr std::string_view kDebugSignalURLKey = "/dozuza/ads/debug_signal_data_url";
    static constexpr std::string_view kDebugDeviceIdentifierKey =
        "/dozuza/ads/debug_device_identifier";
    static constexpr const char* kNotEnabledMessage =
        "This feature has not been enabled for your account and is a no-op. If you are "
        "interested in using this feature, reach out to your account manager.";
    static constexpr const char* kRequiredAssetFailedMessage = "Failed to load a required asset.";

    ~DZNativeAd() override;
    DZNativeAd(const DZNativeAd&) = delete;
    DZNativeAd& operator=(const DZNativeAd&) = delete;

    // Class side.
    // The "ads" member when it is an array.
    [[nodiscard]] static const core::Array* adsArrayInAdsConfigurationDictionary(
        const core::Dictionary& configuration);
    // The class of one "ads" entry by its "type" and "template_id".
    [[nodiscard]] static const DZLoadableClass* classFromSingleAdConfigurationDictionary(
        const core::Dictionary& entry);
    [[nodiscard]] static core::URL supportHTMLURL();
    // A native ad connector for a network whose "response_type" is
    // "native"; nullptr for any other.
    [[nodiscard]] static std::shared_ptr<DZMAdNetworkConnector>
    mediationConnectorForConfiguration(const std::shared_ptr<DZMConfig>& configuration,
                                       const std::shared_ptr<DZMAdNetworkConfig>& network);

    // The template id of the class: "" for the base.
    [[nodiscard]] virtual std::string adFormatTemplateID() const { return {}; }
    [[nodiscard]] virtual bool hasValidConfigurationForRequestParameters(
        const core::Dictionary& parameters) const {
        (void)parameters;
        return true;
    }
    [[nodiscard]] virtual std::set<std::string> requiredAssets() const { return {}; }

    // What the ad shows in the publisher's views; none in the base.
    // The AdChoices content (an attribution badge or an adapter's view).
    [[nodiscard]] virtual std::shared_ptr<ui::View> adChoicesContentView() { return nullptr; }
    [[nodiscard]] virtual std::shared_ptr<DZMediaContentDisplaying> mediaContent() const {
        return nullptr;
    }
    [[nodiscard]] virtual std::shared_ptr<DZVideoController> videoController() const {
        return nullptr;
    }

    // Set by the loader.
    virtual void setSlot(std::shared_ptr<DZSlot> slot);
    [[nodiscard]] const std::shared_ptr<DZSlot>& slot() const { return slot_; }
    void setRootViewController(std::weak_ptr<ui::ViewController> controller);
    [[nodiscard]] std::shared_ptr<ui::ViewController> rootViewController() const {
        return rootViewController_.lock();
    }
    void setAdUnitID(std::optional<std::string> adUnitID) { adUnitID_ = std::move(adUnitID); }
    [[nodiscard]] const std::optional<std::string>& adUnitID() const { return adUnitID_; }
    [[nodiscard]] std::shared_ptr<DZNativeAdDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<DZNativeAdDelegate> delegate) { delegate_ = std::move(delegate); }

    // What the entry said.
    [[nodiscard]] const std::optional<core::Dictionary>& adConfiguration() const {
        return adConfiguration_;
    }
    [[nodiscard]] const std::string& adNetworkClassName() const { return adNetworkClassName_; }
    [[nodiscard]] const std::set<std::string>& impressionTrackingURLs() const {
        return impressionTrackingURLs_;
    }
    [[nodiscard]] const std::set<std::string>& thirdPartyClickTrackingURLs() const {
        return thirdPartyClickTrackingURLs_;
    }
    [[nodiscard]] const std::optional<std::string>& dozuzaClickTrackingURLString() const {
        return dozuzaClickTrackingURLString_;
    }
    [[nodiscard]] const std::optional<core::Array>& clickActions() const { return clickActions_; }
    [[nodiscard]] const std::optional<core::Dictionary>& liveViewConfigurations() const {
        return liveViewConfigurations_;
    }
    [[nodiscard]] const std::optional<std::string>& debugSignalInformation() const {
        return debugSignalInformation_;
    }
    [[nodiscard]] std::int64_t attributionCorner() const { return attributionCorner_; }
    [[nodiscard]] bool publisherRenderAdChoicesAllowed() const {
        return publisherRenderAdChoicesAllowed_;
    }
    void setPublisherRenderAdChoicesAllowed(bool allowed) {
        publisherRenderAdChoicesAllowed_ = allowed;
    }
    [[nodiscard]] bool publisherClickReportingAllowed() const {
        return publisherClickReportingAllowed_;
    }
    [[nodiscard]] bool publisherTouchReportingAllowed() const {
        return publisherTouchReportingAllowed_;
    }
    [[nodiscard]] bool publisherImpressionReportingAllowed() const {
        return publisherImpressionReportingAllowed_;
    }
    [[nodiscard]] const core::Dictionary& statistics() const { return statistics_; }

    // Reporting by the publisher, when its account allows it.
    void performClickWithData(const std::optional<core::Dictionary>& data);
    void reportTouchEventWithData(const std::optional<core::Dictionary>& data);
    [[nodiscard]] bool recordImpressionWithData(const std::optional<core::Dictionary>& data);

    // Reporting by the view policy and the subclasses.
    virtual void performClickOnView(const std::shared_ptr<ui::View>& view,
                                    const std::optional<std::string>& assetName,
                                    const core::Dictionary& environment);
    virtual void recordImpressionWithEnvironment(const core::Dictionary& environment);
    [[nodiscard]] bool hasRecordedImpression() const { return hasRecordedImpression_; }
    void pingDebugSignal();
    void reportIsMediaContentRendered(bool rendered);

    // Asset loading.
    void loadAssetsWithCompletionHandler(AssetCompletion handler) override;
    [[nodiscard]] bool shouldLoadAssets() const;
    void addAssetWithNameToRequestedAssets(const std::string& name);
    void finishedLoadingAssetWithName(const std::optional<std::string>& name);
    void failedToLoadAssetWithName(const std::string& name);
    void notifyLoadingDelegateIfAllRequestedAssetsHaveLoaded();
    void callAndClearAssetLoadCompletionHandlersWithError(const std::optional<Error>& error);
    [[nodiscard]] const std::set<std::string>& requestedAssets() const { return requestedAssets_; }
    [[nodiscard]] const std::set<std::string>& completedAssets() const { return completedAssets_; }
    [[nodiscard]] bool failedToLoadARequiredAsset() const { return failedToLoadARequiredAsset_; }

    // Mediated ads (DZNativeAdMediation.cpp). A mediated ad reports its
    // clicks and impressions through the mediated ad as its adapter's
    // flags say; the network's own announcements (notification source)
    // about its ad reach the mediated ad and this ad's delegate.
    [[nodiscard]] const std::shared_ptr<DZMediatedNativeAd>& mediatedNativeAd() const {
        return mediatedNativeAd_;
    }
    // Keeps the mediated ad, copies its network class name and its ad's
    // extra assets, and observes its ad's announcements (instead of the
    // previous one's).
    void setMediatedNativeAd(std::shared_ptr<DZMediatedNativeAd> mediatedAd);
    void setAdNetworkClassName(std::string name) { adNetworkClassName_ = std::move(name); }
    [[nodiscard]] std::optional<core::Dictionary> extraAssets() const override {
        return extraAssets_;
    }
    // What the view policy tells the ad (it tracks a view now, or the ad
    // left one), passed on to the mediated ad; nothing for dictionary ads.
    void relayTrackedViewToMediatedAd(const std::shared_ptr<ui::View>& view);
    void relayUnloadedViewToMediatedAd(const std::shared_ptr<ui::View>& view);
    // DZNativeAdViewPolicyDelegate: the two relays above.
    void nativeAdViewPolicyDidBeginTrackingView(DZNativeAdViewPolicy& policy,
                                                const std::shared_ptr<ui::View>& view) override;
    void nativeAdViewPolicyDidUnloadNativeAd(DZNativeAdViewPolicy& policy,
                                             const std::shared_ptr<DZNativeAd>& ad,
                                             const std::shared_ptr<ui::View>& view) override;

    // Slot events, passed on to the delegate.
    void slotWillPresentScreen(DZSlot& slot) override;
    void slotWillDismissScreen(DZSlot& slot) override;
    void slotDidDismissScreen(DZSlot& slot) override;
    void slotWillLeaveApplication(DZSlot& slot) override;
    void slotDidRecordImpression(DZSlot& slot) override;
    void slotDidRecordClick(DZSlot& slot) override;

protected:
    // Once a shared pointer owns the ad: its observers of the network's
    // announcements reach it from any thread from now on. Observing may
    // start in the constructor, before that.
    void bindMediatedAdObservers();
    // A dictionary ad from one "ads" entry and the loader's options.
    DZNativeAd(const core::Dictionary& dictionary, const Options& options);
    // A mediated ad (DZNativeAdMediation.cpp): the loader's options give
    // the attribution corner as for dictionary ads.
    DZNativeAd(std::shared_ptr<DZMediatedNativeAd> mediatedAd, const Options& options);

private:
    void relayToDelegate(void (DZNativeAdDelegate::*method)(DZNativeAd&));
    void runInSlotPage(const char* function, const core::Dictionary& argument);
    void saveStatistics();
    void observeMediatedAd();
    void stopObservingMediatedAd();

    bool hasRecordedImpression_ = false;
    std::set<std::string> impressionTrackingURLs_;
    std::set<std::string> requestedAssets_;
    std::set<std::string> completedAssets_;
    bool failedToLoadARequiredAsset_ = false;
    bool assetLoadingStarted_ = false;                     // lock queue only
    std::vector<AssetCompletion> assetLoadCompletionHandlers_;  // lock queue only
    std::shared_ptr<core::Queue> lockQueue_;
    bool publisherRenderAdChoicesAllowed_ = false;
    bool publisherClickReportingAllowed_ = false;
    bool publisherTouchReportingAllowed_ = false;
    bool publisherImpressionReportingAllowed_ = false;
    std::weak_ptr<DZNativeAdDelegate> delegate_;
    std::weak_ptr<ui::ViewController> rootViewController_;
    std::string adNetworkClassName_;
    std::optional<std::string> adUnitID_;
    std::optional<core::Dictionary> adConfiguration_;
    std::shared_ptr<DZSlot> slot_;
    std::set<std::string> thirdPartyClickTrackingURLs_;
    std::optional<std::string> dozuzaClickTrackingURLString_;
    std::optional<core::Array> clickActions_;
    std::optional<core::Dictionary> liveViewConfigurations_;
    std::int64_t attributionCorner_ = 0;
    std::optional<std::string> debugSignalInformation_;
    core::Dictionary statistics_;
    std::shared_ptr<DZMediatedNativeAd> mediatedNativeAd_;
    std::optional<core::Dictionary> extraAssets_;
    // The ad whose announcements are observed (as the notifications'
    // object), and the registrations.
    const void* observedMediatedAd_ = nullptr;
    std::vector<core::NotificationCenter::Token> mediatedAdObservers_;
    // What the registrations reach the ad through: a weak reference, so an
    // announcement on a network's thread never meets an ad the main thread
    // has let go of (DZNativeAdMediation.cpp).
    struct MediatedAdObserverAnchor;
    std::shared_ptr<MediatedAdObserverAnchor> observerAnchor_;
};

// The records of the native ad statistics under that template id whose
// "ad_unit_id" is the ad unit; nullopt when there are none.
[[nodiscard]] std::optional<core::Array> DZNativeAdStatisticsForAdUnit(
    const std::optional<std::string>& adUnitID, const std::string& templateID);

// The ad class of an ("native", template id) pair; nullptr for any other.
[[nodiscard]] const DZLoadableClass* DZNativeAdClassForTypeAndTemplateID(
    const std::optional<std::string>& type, std::int64_t templateID);

}  // namespace ads
