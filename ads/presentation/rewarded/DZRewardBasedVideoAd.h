#pragma once
// The rewarded video ad. The host loads an ad for an ad unit through the
// shared instance, waits for its delegate to hear that an ad is ready,
// presents it full screen once and is told when the user earned the
// reward. The object runs the whole cycle itself, without a slot: it asks
// the core page for the ad URL (as a DZSDKCoreControllerDelegate), fetches
// the ad with a DZAdFetcher of its own, then shows an HTML ad through a
// private, mediated DZInterstitial or runs a mediation response through a
// waterfall of rewarded networks (DZRewardBasedVideoAdMediation.cpp).
//
// Rewarded networks must be set up before they can be asked for an ad, so
// set-up connectors (one per adapter class) outlive requests, and the
// adapters named by the app settings are set up before any request when the
// server flag kEarlySetUpKey is on: from init until the first load the
// object watches DZApplication::kConfigurationChangedNotification.
//
// Besides the shared instance, the own network's adapter makes private
// instances with create().
//
// Main thread.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ads/core/request/DZError.h"
#include "ads/core/response/DZAdFetcherDelegate.h"
#include "ads/core/sdkcore/DZSDKCoreControllerDelegate.h"
#include "ads/mediation/rewarded/DZMRewardBasedVideoAdConnectorDelegate.h"
#include "ads/presentation/interstitial/DZInterstitialDelegate.h"
#include "core/NotificationCenter.h"
#include "core/Value.h"

namespace ui {
class ViewController;
}

namespace ads {

class DZAd;
class DZAdFetcher;
class DZAdReward;
class DZInterstitial;
class DZMAdNetworkConfig;
class DZMConfig;
class DZMRewardBasedVideoAdNetworkConnector;
class DZRequest;
class DZRewardBasedVideoAdDelegate;
class DZSDKCoreController;
class DZSlotStatistics;

class DZRewardBasedVideoAd : public DZMRewardBasedVideoAdConnectorDelegate,
                             public DZSDKCoreControllerDelegate,
                             public DZAdFetcherDelegate,
                             public DZInterstitialDelegate,
                             public DZInterstitialAdClickDelegate,
                             public DZInterstitialRewardBasedVideoAdDelegate,
                             public std::enable_shared_from_this<DZRewardBasedVideoAd> {
public:
    static constexpr std::string_view kEarlySetUpKey = "/dozuza/ads/dzads:rbv_cld_early_set_up";
    static constexpr std::string_view kAnalyticsEnabledKey = "/dozuza/ads/dzads:sai:enabled";
    static constexpr std::string_view kExtraCapsKey = "/dozuza/ads/dzads:sdk_core_constants:caps";
    static constexpr const char* kRequestInProgressMessage =
        "Ignoring request. Another request is already in progress.";
    static constexpr const char* kNotReadyMessage =
        "Cannot present rewarded video ad. It is not ready.";
    // Given to app-settings entries without one.
    static constexpr const char* kPlaceholderNetworkID = "{TBD}";

    // One network turn of the waterfall: the connector and the network
    // entry it is asked for.
    struct PendingAdRequest {
        std::shared_ptr<DZMRewardBasedVideoAdNetworkConnector> connector;
        std::shared_ptr<DZMAdNetworkConfig> networkConfig;
    };

    // The shared instance, made on first use.
    [[nodiscard]] static std::shared_ptr<DZRewardBasedVideoAd> sharedInstance();
    // A private instance; it starts watching the app configuration.
    [[nodiscard]] static std::shared_ptr<DZRewardBasedVideoAd> create();
    // Ends its count of running requests and stops watching.
    ~DZRewardBasedVideoAd() override;
    DZRewardBasedVideoAd(const DZRewardBasedVideoAd&) = delete;
    DZRewardBasedVideoAd& operator=(const DZRewardBasedVideoAd&) = delete;

    // Public.
    void loadRequest(const std::shared_ptr<DZRequest>& request, const std::string& adUnitID);
    void presentFromRootViewController(const std::shared_ptr<ui::ViewController>& root);
    [[nodiscard]] std::shared_ptr<DZRewardBasedVideoAdDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZRewardBasedVideoAdDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    [[nodiscard]] bool isReady() const { return ready_; }
    [[nodiscard]] const std::optional<std::string>& adNetworkClassName() const {
        return adNetworkClassName_;
    }

    // State, for the SDK's other parts and tests.
    [[nodiscard]] bool requestInProgress() const { return requestInProgress_; }
    [[nodiscard]] bool isObservingApplicationConfiguration() const {
        return bool(configurationObserver_);
    }
    [[nodiscard]] const std::shared_ptr<DZInterstitial>& interstitial() const { return interstitial_; }
    [[nodiscard]] const std::shared_ptr<DZAd>& ad() const { return ad_; }
    [[nodiscard]] const std::shared_ptr<DZRequest>& request() const { return request_; }
    [[nodiscard]] const std::optional<std::string>& adUnitID() const { return adUnitID_; }
    [[nodiscard]] const std::shared_ptr<DZMConfig>& mediationConfig() const { return mediationConfig_; }
    [[nodiscard]] const std::vector<PendingAdRequest>& pendingAdRequestConnectors() const {
        return pendingAdRequestConnectors_;
    }
    [[nodiscard]] const std::vector<std::string>& allocationIDs() const { return allocationIDs_; }
    [[nodiscard]] const std::shared_ptr<DZMRewardBasedVideoAdNetworkConnector>&
    requestingConnector() const {
        return requestingConnector_;
    }
    [[nodiscard]] const std::shared_ptr<DZMRewardBasedVideoAdNetworkConnector>&
    receivedConnector() const {
        return receivedConnector_;
    }
    [[nodiscard]] const std::map<std::string, std::uint64_t, std::less<>>&
    pendingSetUpConnectorsTimestamp() const {
        return pendingSetUpConnectorsTimestamp_;
    }
    [[nodiscard]] const std::map<std::string, std::shared_ptr<DZMRewardBasedVideoAdNetworkConnector>,
                                 std::less<>>&
    connectors() const {
        return connectors_;
    }
    [[nodiscard]] const std::shared_ptr<DZSlotStatistics>& adStatistics() const {
        return adStatistics_;
    }
    // The core page's controller: the shared one unless set.
    void setSDKCoreController(std::shared_ptr<DZSDKCoreController> controller) {
        SDKCoreController_ = std::move(controller);
    }

    // Outcomes, also reached from the waterfall.
    void adLoadedSuccessfully();
    void failedToLoadAdWithError(const Error& error);

    // DZSDKCoreControllerDelegate.
    std::shared_ptr<DZCSITimeRecorder> adLoadActionTimeRecorder() override { return nullptr; }
    std::optional<core::Dictionary> requestParameters() override;
    std::uint64_t requestedAdType() override { return 2; }
    void setRequestID(const std::string& requestID) override { requestID_ = requestID; }
    void loadAdURLWithParameters(const core::Dictionary& parameters) override;
    void loadAd(const std::shared_ptr<DZAd>& ad,
                const std::optional<core::Dictionary>& headers) override;
    void invalidJavaScriptRequest() override;
    void failedJavaScriptFile() override;
    // DZAdFetcherDelegate.
    void didFetchAd(DZAdFetcher& fetcher, const std::shared_ptr<DZAd>& ad) override;
    void didFailToFetchAd(DZAdFetcher& fetcher, const std::shared_ptr<DZAd>& ad, const Error& error,
                          int responseCode) override;
    // DZInterstitialDelegate and its companions.
    void interstitialDidReceiveAd(DZInterstitial& interstitial) override;
    void didFailToReceiveAdWithError(DZInterstitial& interstitial,
                                     const DZRequestError& error) override;
    void interstitialWillPresentScreen(DZInterstitial& interstitial) override;
    void interstitialWillDismissScreen(DZInterstitial& interstitial) override;
    void interstitialDidDismissScreen(DZInterstitial& interstitial) override;
    void interstitialWillLeaveApplication(DZInterstitial& interstitial) override;
    void interstitialDidReceiveAdClick(DZInterstitial& interstitial) override;
    void interstitialDidStartPlayingRewardBasedVideoAd(DZInterstitial& interstitial) override;
    void didRewardUserWithReward(DZInterstitial& interstitial,
                                 const std::shared_ptr<DZAdReward>& reward) override;

    // Mediation (DZRewardBasedVideoAdMediation.cpp).
    void processMediationAd(const std::shared_ptr<DZAd>& ad);
    void presentMediatedRewardBasedVideoAdFromViewController(
        const std::shared_ptr<ui::ViewController>& root);
    void setUpAdaptersForAdNetworkConfigsFromAppConfiguration(
        const std::vector<std::shared_ptr<DZMAdNetworkConfig>>& configs);
    // DZMRewardBasedVideoAdConnectorDelegate.
    void connectorDidSetUpRewardBasedVideoAd(DZMRewardBasedVideoAdNetworkConnector& connector) override;
    void connectorDidFailToSetUpRewardBasedVideoAd(DZMRewardBasedVideoAdNetworkConnector& connector,
                                                   const Error& error) override;
    void connectorDidReceiveRewardBasedVideoAd(DZMRewardBasedVideoAdNetworkConnector& connector) override;
    void connectorDidFailToReceiveRewardBasedVideoAd(DZMRewardBasedVideoAdNetworkConnector& connector,
                                                     const Error& error) override;
    void connectorDidReceiveClick(DZMRewardBasedVideoAdNetworkConnector& connector) override;
    void connectorDidRewardUserWithReward(DZMRewardBasedVideoAdNetworkConnector& connector,
                                          const std::shared_ptr<DZAdReward>& reward) override;
    void connectorDidOpenRewardBasedVideoAd(DZMRewardBasedVideoAdNetworkConnector& connector) override;
    void connectorDidStartPlayingRewardBasedVideoAd(DZMRewardBasedVideoAdNetworkConnector& connector) override;
    void connectorDidCloseRewardBasedVideoAd(DZMRewardBasedVideoAdNetworkConnector& connector) override;
    void connectorWillLeaveApplication(DZMRewardBasedVideoAdNetworkConnector& connector) override;

    // The app-settings set-up.
    void startObservingApplicationConfiguration();
    void stopObservingApplicationConfiguration();
    void setUpAdaptersFromApplicationConfiguration();

protected:
    DZRewardBasedVideoAd();

private:
    void fetchAdForRequest(const std::shared_ptr<DZRequest>& request, const std::string& adUnitID);
    void loadAd(const std::shared_ptr<DZAd>& ad);
    void loadInterstitialWithAd(const std::shared_ptr<DZAd>& ad);
    void loadInterstitialWithAdRequest(const std::shared_ptr<DZRequest>& request);
    [[nodiscard]] std::shared_ptr<DZSDKCoreController> SDKCoreController() const;
    // Runs call with the host's delegate, when there is one.
    void tellDelegate(const std::function<void(DZRewardBasedVideoAdDelegate&)>& call);

    // Mediation steps.
    [[nodiscard]] std::optional<core::Dictionary> decodedJSONResponseFromAd(const std::shared_ptr<DZAd>& ad,
                                                                           Error* error) const;
    void resetFillStatus();
    void setUpAdaptersForAdNetworkConfigs();
    void removeStaleConnectors();
    void buildPendingAdRequestConnectorsList();
    void makeNextAdRequest();
    void requestAdFromConnector(const std::shared_ptr<DZMRewardBasedVideoAdNetworkConnector>& connector,
                                const std::shared_ptr<DZMAdNetworkConfig>& networkConfig);
    void pingNoFillURLs();
    [[nodiscard]] bool isRequestingConnector(const DZMRewardBasedVideoAdNetworkConnector& connector) const {
        return requestingConnector_.get() == &connector;
    }
    [[nodiscard]] bool isReceivedConnector(const DZMRewardBasedVideoAdNetworkConnector& connector) const {
        return receivedConnector_.get() == &connector;
    }
    void mediation_adapterDidFailToSetUpWithNetworkConfig(const std::shared_ptr<DZMAdNetworkConfig>& config);
    void mediation_connectorWillStartRequestingAd();
    void mediation_connectorDidReceiveAd(DZMRewardBasedVideoAdNetworkConnector& connector);
    void mediation_connectorDidFailToReceiveAd(DZMRewardBasedVideoAdNetworkConnector& connector,
                                               const Error& error);

    std::shared_ptr<DZInterstitial> interstitial_;
    core::NotificationCenter::Token configurationObserver_;
    bool ready_ = false;
    bool requestInProgress_ = false;
    bool adUnitExposureBegan_ = false;
    std::weak_ptr<DZRewardBasedVideoAdDelegate> delegate_;
    std::optional<std::string> adNetworkClassName_;
    std::shared_ptr<DZRequest> request_;
    std::optional<std::string> adUnitID_;
    std::optional<std::string> requestID_;
    std::shared_ptr<DZAdFetcher> adFetcher_;
    std::shared_ptr<DZMConfig> mediationConfig_;
    std::vector<PendingAdRequest> pendingAdRequestConnectors_;
    std::vector<std::string> allocationIDs_;
    std::shared_ptr<DZMRewardBasedVideoAdNetworkConnector> requestingConnector_;
    // The network entry of the turn under way.
    std::shared_ptr<DZMAdNetworkConfig> requestingNetworkConfig_;
    // Counts the waterfall's turns; a turn's time-out acts only while its
    // own turn is under way.
    std::uint64_t requestTurn_ = 0;
    std::shared_ptr<DZMRewardBasedVideoAdNetworkConnector> receivedConnector_;
    std::map<std::string, std::uint64_t, std::less<>> pendingSetUpConnectorsTimestamp_;
    std::map<std::string, std::shared_ptr<DZMRewardBasedVideoAdNetworkConnector>, std::less<>>
        connectors_;
    std::shared_ptr<DZAd> ad_;
    std::shared_ptr<DZSlotStatistics> adStatistics_;
    std::shared_ptr<DZSDKCoreController> SDKCoreController_;
};

}  // namespace ads
