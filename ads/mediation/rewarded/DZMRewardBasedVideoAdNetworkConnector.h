#pragma once
// The link between the rewarded ad and one rewarded network's adapter. The
// connector makes the adapter from its adapter class (DZMClassRegistry) and
// sets it up, either for one network entry of a mediation response or for
// the entries of one adapter class from the app settings; it forwards ad
// requests and presents, answers the adapter's questions about the request
// (DZMediationAdRequest), relays the adapter's reports to its delegate (the
// rewarded ad) and sends the network's pings (click, impression, video
// start, rewarded user, fill).
//
// The adapter calls the adapter-side operations below on the main thread;
// the connector may outlive one request: the rewarded ad keeps it, set up,
// for later responses that name the same adapter class, and hands it each
// request's network entry, response, ad and request before asking it.
//
// Main thread.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ads/core/request/DZError.h"
#include "ads/mediation/core/DZMediationAdRequest.h"
#include "core/Value.h"

namespace ui {
class ViewController;
}

namespace ads {

class DZAd;
class DZAdReward;
class DZMAdNetworkConfig;
class DZMConfig;
class DZMRewardBasedVideoAdConnectorDelegate;
class DZMRewardBasedVideoAdNetworkAdapter;
class DZRequest;

// Answers whether the network entry can be served: resolves a custom-event
// entry's class (its error is logged as a public message and answers
// false), then whether the entry has an adapter class. False for null.
[[nodiscard]] bool DZMediationResolveAdapterClass(const std::shared_ptr<DZMAdNetworkConfig>& config);

class DZMRewardBasedVideoAdNetworkConnector
    : public DZMediationAdRequestInternal,
      public std::enable_shared_from_this<DZMRewardBasedVideoAdNetworkConnector> {
public:
    static constexpr const char* kNoNetworkConfigMessage = "No network config to initialize adapter.";
    static constexpr const char* kNoAdapterMessage =
        "Couldn't instantiate adapter. Adapter class empty or invalid.";

    [[nodiscard]] static std::shared_ptr<DZMRewardBasedVideoAdNetworkConnector> create();
    // Tells the adapter to stop being its delegate.
    ~DZMRewardBasedVideoAdNetworkConnector() override;
    DZMRewardBasedVideoAdNetworkConnector(const DZMRewardBasedVideoAdNetworkConnector&) = delete;
    DZMRewardBasedVideoAdNetworkConnector&
    operator=(const DZMRewardBasedVideoAdNetworkConnector&) = delete;

    // For the rewarded ad.
    // Ignored when an entry of another adapter class is already set;
    // otherwise it becomes the entry in force, and its credentials (without
    // "gwhirl_share_location", which says whether location is shared) the
    // adapter's.
    void setAdNetworkConfig(const std::shared_ptr<DZMAdNetworkConfig>& config);
    [[nodiscard]] const std::shared_ptr<DZMAdNetworkConfig>& adNetworkConfig() const {
        return adNetworkConfig_;
    }
    // App-settings entries, all of one adapter class.
    void setAdNetworkConfigsFromAppConfiguration(std::vector<std::shared_ptr<DZMAdNetworkConfig>> configs) {
        adNetworkConfigsFromAppConfiguration_ = std::move(configs);
    }
    [[nodiscard]] const std::vector<std::shared_ptr<DZMAdNetworkConfig>>&
    adNetworkConfigsFromAppConfiguration() const {
        return adNetworkConfigsFromAppConfiguration_;
    }
    void setMediationConfig(std::shared_ptr<DZMConfig> config) { mediationConfig_ = std::move(config); }
    [[nodiscard]] const std::shared_ptr<DZMConfig>& mediationConfig() const { return mediationConfig_; }
    void setAd(std::shared_ptr<DZAd> ad) { ad_ = std::move(ad); }
    [[nodiscard]] const std::shared_ptr<DZAd>& ad() const { return ad_; }
    // Keeps a copy.
    void setRequest(const std::shared_ptr<DZRequest>& request);
    [[nodiscard]] const std::shared_ptr<DZRequest>& request() const { return request_; }
    void setDelegate(std::weak_ptr<DZMRewardBasedVideoAdConnectorDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    [[nodiscard]] std::shared_ptr<DZMRewardBasedVideoAdConnectorDelegate> delegate() const {
        return delegate_.lock();
    }
    [[nodiscard]] const std::shared_ptr<DZMRewardBasedVideoAdNetworkAdapter>& adapter() const {
        return adapter_;
    }
    [[nodiscard]] const std::optional<core::Dictionary>& networkData() const { return networkData_; }
    [[nodiscard]] bool isLocationShared() const { return isLocationShared_; }

    // Makes the adapter (for the network entry, else for the app-settings
    // entries) and starts its set-up; failures reach the delegate as SDK
    // error 7.
    void setUpAdapter();
    void requestRewardBasedVideoAd();
    // Pings the impression URLs, then asks the adapter to present.
    void presentRewardBasedVideoAdFromRootViewController(const std::shared_ptr<ui::ViewController>& root);
    void askAdapterToStopBeingDelegate();

    // Pings.
    void pingClickURLs();
    void pingImpressionURLs();
    void pingVideoStartPlayingURLs();
    void pingRewardedUserURLs();
    void pingFillURLsWithFillStatus(const std::optional<std::string>& fillStatus);

    // For the adapter.
    void adapterDidSetUpRewardBasedVideoAd(DZMRewardBasedVideoAdNetworkAdapter* adapter);
    void adapterDidFailToSetUpRewardBasedVideoAd(DZMRewardBasedVideoAdNetworkAdapter* adapter,
                                                 const Error& error);
    void adapterDidGetAdClick(DZMRewardBasedVideoAdNetworkAdapter* adapter);
    void adapterDidReceiveRewardBasedVideoAd(DZMRewardBasedVideoAdNetworkAdapter* adapter);
    void adapterDidOpenRewardBasedVideoAd(DZMRewardBasedVideoAdNetworkAdapter* adapter);
    void adapterDidStartPlayingRewardBasedVideoAd(DZMRewardBasedVideoAdNetworkAdapter* adapter);
    void adapterDidCloseRewardBasedVideoAd(DZMRewardBasedVideoAdNetworkAdapter* adapter);
    // reward may be null.
    void adapterDidRewardUserWithReward(DZMRewardBasedVideoAdNetworkAdapter* adapter,
                                        const std::shared_ptr<DZAdReward>& reward);
    void adapterWillLeaveApplication(DZMRewardBasedVideoAdNetworkAdapter* adapter);
    void adapterDidFailToLoadRewardBasedVideoAdwithError(DZMRewardBasedVideoAdNetworkAdapter* adapter,
                                                         const Error& error);

    // DZMediationAdRequest.
    [[nodiscard]] std::optional<std::string> publisherId() const override;
    [[nodiscard]] std::optional<core::Dictionary> credentials() const override { return networkData_; }
    [[nodiscard]] bool testMode() const override;
    [[nodiscard]] std::shared_ptr<DZAdNetworkExtras> networkExtras() const override;
    [[nodiscard]] std::shared_ptr<DZAdNetworkExtras>
    networkExtrasForClass(std::string_view className) const override;
    [[nodiscard]] std::optional<bool> childDirectedTreatment() const override;
    [[nodiscard]] std::int64_t userGender() const override;
    [[nodiscard]] std::optional<core::Date> userBirthday() const override;
    [[nodiscard]] std::optional<core::Array> userKeywords() const override;
    [[nodiscard]] bool userHasLocation() const override;
    [[nodiscard]] double userLatitude() const override;
    [[nodiscard]] double userLongitude() const override;
    [[nodiscard]] double userLocationAccuracyInMeters() const override;
    [[nodiscard]] std::optional<std::string> userLocationDescription() const override;
    // A rewarded ad presents from the root the host passes: none here.
    [[nodiscard]] std::shared_ptr<ui::ViewController> viewControllerForPresentingModalView() const override {
        return nullptr;
    }
    [[nodiscard]] float adVolume() const override;
    [[nodiscard]] bool adMuted() const override;
    // DZMediationAdRequestInternal.
    [[nodiscard]] std::optional<DZLocation> userLocation() const override;
    [[nodiscard]] gfx::Size adSize() const override;
    [[nodiscard]] double croppedContentThreshold() const override;
    [[nodiscard]] std::optional<DZMInlineAd> inlineAd() const override;
    [[nodiscard]] std::optional<core::Dictionary> extras() const override;
    // Networks without "adapters" add nothing; empty when no network has one.
    [[nodiscard]] core::Array adapterNames() const override;
    // The entry's adapter class; without an entry, that of the first
    // app-settings entry; else nullopt.
    [[nodiscard]] std::optional<std::string> currentAdapterName() const override;
    [[nodiscard]] std::optional<std::string> userRequestAgent() const override;
    [[nodiscard]] std::shared_ptr<DZSlot> slot() const override { return nullptr; }

protected:
    DZMRewardBasedVideoAdNetworkConnector() = default;

private:
    // True when the adapter was made.
    bool setUpWithAdNetworkConfig();
    bool setUpWithMultipleAdNetworkConfigs();
    void failSetUp(const char* message);
    void pingURLs(const std::optional<core::Array>& urls, const std::optional<std::string>& defaultTemplate,
                  const std::optional<std::string>& fillStatus,
                  const std::optional<std::string>& eventType);

    std::shared_ptr<DZMRewardBasedVideoAdNetworkAdapter> adapter_;
    std::optional<core::Dictionary> networkData_;
    bool isLocationShared_ = false;
    std::shared_ptr<DZMConfig> mediationConfig_;
    std::shared_ptr<DZMAdNetworkConfig> adNetworkConfig_;
    std::vector<std::shared_ptr<DZMAdNetworkConfig>> adNetworkConfigsFromAppConfiguration_;
    std::shared_ptr<DZAd> ad_;
    std::weak_ptr<DZMRewardBasedVideoAdConnectorDelegate> delegate_;
    std::shared_ptr<DZRequest> request_;
};

}  // namespace ads
