#pragma once
// The link between the waterfall and one network's adapter for one network
// entry of a mediation response. A connector creates the adapter from the
// entry's adapter class, asks it for an ad of the requested format, answers
// its questions about the request (DZMediationAdRequest), turns its
// callbacks into reports to the waterfall (DZMAdManager) and events of the
// slot, and sends the mediation pings (click, impression, fill).
//
// This base answers the questions and sends the pings; it can request no
// ad. The banner and interstitial connectors serve those formats. Ad
// objects make connectors through their mediation delegate
// (DZAdMediationDelegate::mediationConnectorForConfiguration).
//
// The default ping templates point at the mediation tracking host of
// DZServerHosts. Main thread.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ads/core/request/DZError.h"
#include "ads/mediation/core/DZMediationAdRequest.h"
#include "core/Value.h"

namespace ui {
class View;
}

namespace ads {

class DZAdLoaderConfiguration;
class DZAdType;
class DZMAdManager;
class DZMAdNetworkAdapter;
class DZMAdNetworkConfig;
class DZMConfig;
enum class DZMSelector;
class DZMediatedNativeAdProtocol;
class DZRequest;

class DZMAdNetworkConnector : public DZMediationAdRequestInternal,
                              public std::enable_shared_from_this<DZMAdNetworkConnector> {
public:
    static constexpr const char* kClassName = "DZMAdNetworkConnector";
    static constexpr const char* kDidRecordManualImpressionNotification =
        "DZMAdNetworkConnectorDidRecordManualImpressionNotification";
    // The default templates' paths and queries, under the mediation
    // tracking host.
    static constexpr std::string_view kClickTemplatePath =
        "/clk?ad_loc=@gw_adlocid@&qdata=@gw_qdata@&ad_network_id=@gw_adnetid@&js=@gw_sdkver@"
        "&session_id=@gw_sessid@&seq_num=@gw_seqnum@&nr=@gw_adnetrefresh@";
    static constexpr std::string_view kImpressionTemplatePath =
        "/imp?ad_loc=@gw_adlocid@&qdata=@gw_qdata@&ad_network_id=@gw_adnetid@&js=@gw_sdkver@"
        "&session_id=@gw_sessid@&seq_num=@gw_seqnum@&nr=@gw_adnetrefresh@&adt=@gw_adt@"
        "&aec=@gw_aec@";
    static constexpr std::string_view kNoFillTemplatePath =
        "/nofill?ad_loc=@gw_adlocid@&qdata=@gw_qdata@&js=@gw_sdkver@&session_id=@gw_sessid@"
        "&seq_num=@gw_seqnum@&aec=@gw_aec@&adt=@gw_adt@";

    // "https://<mediation tracking host><path>".
    [[nodiscard]] static std::string defaultClickTemplate();
    [[nodiscard]] static std::string defaultImpressionTemplate();
    [[nodiscard]] static std::string defaultNoFillTemplate();

    // nullptr without both configurations.
    [[nodiscard]] static std::shared_ptr<DZMAdNetworkConnector>
    create(std::shared_ptr<DZMConfig> config, std::shared_ptr<DZMAdNetworkConfig> networkConfig);
    // Tells the adapter to stop being its delegate.
    ~DZMAdNetworkConnector() override;
    DZMAdNetworkConnector(const DZMAdNetworkConnector&) = delete;
    DZMAdNetworkConnector& operator=(const DZMAdNetworkConnector&) = delete;

    [[nodiscard]] virtual std::string className() const { return kClassName; }
    // Native connectors answer true (the native ad formats).
    [[nodiscard]] virtual bool isNativeAdConnector() const { return false; }

    // Control, from the ad objects and the waterfall.
    // Makes the adapter from the network's adapter class (nothing without
    // one, or for a class that makes no adapter).
    virtual void setUpAdapter();
    // The base cannot ask: it fails with SDK error 11 through its own
    // failure report.
    virtual void getAdFromAdapterWithType(const std::shared_ptr<DZAdType>& adType);
    void askAdapterToStopBeingDelegate();
    // "adapter: <class>, version: <version>"; the class's version, else the
    // instance's, else "unknown".
    [[nodiscard]] std::string adapterVersion() const;

    // Pings.
    // Once per ad: the response's click templates then the network's.
    void reportClick();
    // The response's impression templates then the network's, with the
    // slot's adapter durations and exit codes (taken and reset).
    void reportImpression();
    // The network's fill templates with the slot's fill statuses (taken and
    // reset); nothing without templates.
    void reportFill();
    // Posts kDidRecordManualImpressionNotification (user info "adapter").
    void reportManualImpression();
    // The slot counted a click on what this network filled. Only content
    // the SDK shows itself for the network (a native express template)
    // hears it there; networks whose views report their own clicks ignore it.
    virtual void slotDidRecordClick() {}
    void pingMediationURLs(const std::optional<core::Array>& templates,
                           const std::optional<std::string>& defaultURL,
                           const std::optional<std::string>& durations,
                           const std::optional<std::string>& exitCodes,
                           const std::optional<std::string>& fillStatus,
                           const std::optional<std::string>& eventType);

    // Accessors.
    [[nodiscard]] const std::shared_ptr<DZMConfig>& mediationConfig() const {
        return mediationConfig_;
    }
    [[nodiscard]] const std::shared_ptr<DZMAdNetworkConfig>& networkConfig() const {
        return networkConfig_;
    }
    [[nodiscard]] std::shared_ptr<DZMAdManager> adManager() const { return adManager_.lock(); }
    virtual void setAdManager(std::weak_ptr<DZMAdManager> manager) {
        adManager_ = std::move(manager);
    }
    [[nodiscard]] const std::shared_ptr<DZAdLoaderConfiguration>& adLoaderConfiguration() const {
        return adLoaderConfiguration_;
    }
    virtual void setAdLoaderConfiguration(std::shared_ptr<DZAdLoaderConfiguration> configuration) {
        adLoaderConfiguration_ = std::move(configuration);
    }
    [[nodiscard]] const std::shared_ptr<DZMAdNetworkAdapter>& adapter() const { return adapter_; }
    void setAdapter(std::shared_ptr<DZMAdNetworkAdapter> adapter) { adapter_ = std::move(adapter); }
    [[nodiscard]] bool didNetworkRefresh() const { return didNetworkRefresh_; }
    void setDidNetworkRefresh(bool refreshed) { didNetworkRefresh_ = refreshed; }
    [[nodiscard]] bool isClicked() const { return clicked_; }
    void setClicked(bool clicked) { clicked_ = clicked; }
    [[nodiscard]] bool locationShared() const { return locationShared_; }

    // DZMediationAdRequest.
    [[nodiscard]] std::optional<std::string> publisherId() const override;
    // The network's credentials without "gwhirl_share_location".
    [[nodiscard]] std::optional<core::Dictionary> credentials() const override {
        return credentials_;
    }
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
    [[nodiscard]] std::shared_ptr<ui::ViewController>
    viewControllerForPresentingModalView() const override;
    [[nodiscard]] float adVolume() const override;
    [[nodiscard]] bool adMuted() const override;
    // DZMediationAdRequestInternal.
    [[nodiscard]] std::optional<DZLocation> userLocation() const override;
    [[nodiscard]] gfx::Size adSize() const override;
    [[nodiscard]] double croppedContentThreshold() const override;
    [[nodiscard]] std::optional<DZMInlineAd> inlineAd() const override;
    [[nodiscard]] std::optional<core::Dictionary> extras() const override;
    [[nodiscard]] core::Array adapterNames() const override;
    [[nodiscard]] std::optional<std::string> currentAdapterName() const override;
    [[nodiscard]] std::optional<std::string> userRequestAgent() const override;
    [[nodiscard]] std::shared_ptr<DZSlot> slot() const override;

    // What adapters tell their connector. Those the base acts on: a click
    // of its own adapter pings; a banner click and an interstitial with an
    // object forward. The formats' connectors act on the rest; callbacks
    // from an adapter that is not the connector's own are ignored there.
    virtual void adapterDidReceiveAdView(const DZMAdNetworkAdapter* adapter,
                                         const std::shared_ptr<ui::View>& view);
    virtual void adapterDidReceiveInterstitial(const DZMAdNetworkAdapter* adapter);
    void adapterDidReceiveInterstitial(const DZMAdNetworkAdapter* adapter,
                                       const std::shared_ptr<const void>& interstitial);
    virtual void
    adapterDidReceiveMediatedNativeAd(const DZMAdNetworkAdapter* adapter,
                                      const std::shared_ptr<DZMediatedNativeAdProtocol>& ad);
    virtual void adapterDidFailAd(const DZMAdNetworkAdapter* adapter, const Error& error);
    virtual void adapterDidFailInterstitial(const DZMAdNetworkAdapter* adapter, const Error& error);
    virtual void adapterDidGetAdClick(const DZMAdNetworkAdapter* adapter);
    void adapterClickDidOccurInBanner(const DZMAdNetworkAdapter* adapter,
                                      const std::shared_ptr<ui::View>& banner);
    virtual void adapterWillPresentFullScreenModal(const DZMAdNetworkAdapter* adapter);
    virtual void adapterWillDismissFullScreenModal(const DZMAdNetworkAdapter* adapter);
    virtual void adapterDidDismissFullScreenModal(const DZMAdNetworkAdapter* adapter);
    virtual void adapterWillPresentInterstitial(const DZMAdNetworkAdapter* adapter);
    virtual void adapterWillDismissInterstitial(const DZMAdNetworkAdapter* adapter);
    virtual void adapterDidDismissInterstitial(const DZMAdNetworkAdapter* adapter);
    virtual void adapterWillLeaveApplication(const DZMAdNetworkAdapter* adapter);
    virtual void adapterDidReceiveAppEvent(const DZMAdNetworkAdapter* adapter,
                                           const std::string& name,
                                           const std::optional<std::string>& info);

protected:
    DZMAdNetworkConnector(std::shared_ptr<DZMConfig> config,
                          std::shared_ptr<DZMAdNetworkConfig> networkConfig);
    template <typename T>
    [[nodiscard]] static std::shared_ptr<T> make(std::shared_ptr<DZMConfig> config,
                                                 std::shared_ptr<DZMAdNetworkConfig> network) {
        if (!config || !network) return nullptr;
        return std::shared_ptr<T>(new T(std::move(config), std::move(network)));
    }

    [[nodiscard]] bool isOwnAdapter(const DZMAdNetworkAdapter* adapter) const {
        return adapter == adapter_.get();
    }
    // The request the slot is loading, if any.
    [[nodiscard]] std::shared_ptr<DZRequest> loadingRequest() const;
    // Whether there is an adapter that answers the request; when not (its
    // class was registered without a factory, or its instances do not
    // answer the call), logs one line naming the class and fails the
    // network at once with an adapter error through adapterDidFailAd.
    [[nodiscard]] bool adapterAnswersOrFail(DZMSelector selector);

private:
    const std::shared_ptr<DZMConfig> mediationConfig_;
    const std::shared_ptr<DZMAdNetworkConfig> networkConfig_;
    std::optional<core::Dictionary> credentials_;
    bool locationShared_ = false;
    std::weak_ptr<DZMAdManager> adManager_;
    std::shared_ptr<DZAdLoaderConfiguration> adLoaderConfiguration_;
    std::shared_ptr<DZMAdNetworkAdapter> adapter_;
    bool didNetworkRefresh_ = false;
    bool clicked_ = false;
};

}  // namespace ads
