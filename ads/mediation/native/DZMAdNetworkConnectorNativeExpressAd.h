#pragma once
// The connector of a network that fills a native express view: the
// network's adapter delivers a native ad (through a wrapped native ad
// connector, which asks it), this connector turns the ad's assets into
// JSON, and shows them in the network's HTML template ("html_template",
// loaded with "ad_base_url" as its base) in an ad web view of its own.
//
// The assets reach the template before any of its scripts run: a script
// element at the head of the page sets them as the global
// `duzoNativeAssets` ({"template_id": [...], "assets": {...}}). When the
// template has loaded, the ad view goes to the waterfall as the network's
// banner view; when it fails to load, the waterfall hears the failure.
// The wrapped connector's failures (an adapter without native support)
// come through this connector, so the waterfall moves on at once.
//
// The template's ad view has an ad view delegate of its own
// (DZNativeExpressTemplateAdViewDelegate): its links and messages reach
// the opener as any ad page's do, for the slot it fills. Its impression is
// the impression monitor's, with the response's impression definition, as
// a banner network's view's is; a click is what the slot counts through
// the opener. Each pings the waterfall's impression or click URLs and
// tells the network's ad, unless the adapter handles that kind itself:
// then the network's own announcement pings instead.
//
// Main thread.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/mediation/core/DZMAdNetworkConnector.h"
#include "ads/web/view/DZAdViewDelegateProtocol.h"
#include "ads/web/view/DZImpressionMonitor.h"
#include "core/NotificationCenter.h"
#include "core/Value.h"

namespace ads {

class DZAdView;
class DZMAdNetworkConnectorNativeAd;
class DZMediatedNativeAppInstallAd;
class DZMediatedNativeContentAd;

class DZNativeExpressTemplateAdViewDelegate;

class DZMAdNetworkConnectorNativeExpressAd : public DZMAdNetworkConnector,
                                             public DZAdViewDelegateProtocol,
                                             public DZImpressionMonitorDelegate {
public:
    static constexpr const char* kClassName = "DZMAdNetworkConnectorNativeExpressAd";
    static constexpr const char* kAssetsErrorDomain = "adapter:didReceiveMediatedNativeAd:";
    static constexpr const char* kAssetsErrorDescription =
        "Unable to convert native ad assets to JSON.";
    static constexpr const char* kAssetsVariable = "duzoNativeAssets";

    // Also makes the wrapped native ad connector for the same networks.
    [[nodiscard]] static std::shared_ptr<DZMAdNetworkConnectorNativeExpressAd>
    create(std::shared_ptr<DZMConfig> config, std::shared_ptr<DZMAdNetworkConfig> networkConfig);
    ~DZMAdNetworkConnectorNativeExpressAd() override;

    [[nodiscard]] std::string className() const override { return kClassName; }
    [[nodiscard]] bool isNativeAdConnector() const override { return true; }

    // Each passes on to the wrapped connector too.
    void setAdLoaderConfiguration(std::shared_ptr<DZAdLoaderConfiguration> configuration) override;
    void setAdManager(std::weak_ptr<DZMAdManager> manager) override;
    // The adapter's connector is this one; the wrapped one shares it.
    void setUpAdapter() override;
    // Keeps the type; the wrapped connector asks the adapter.
    void getAdFromAdapterWithType(const std::shared_ptr<DZAdType>& adType) override;

    void
    adapterDidReceiveMediatedNativeAd(const DZMAdNetworkAdapter* adapter,
                                      const std::shared_ptr<DZMediatedNativeAdProtocol>& ad) override;
    void adapterDidFailAd(const DZMAdNetworkAdapter* adapter, const Error& error) override;

    // The assets by kind; only the entries whose source is present.
    [[nodiscard]] static core::Dictionary
    JSONAssetsFromMediatedNativeAppInstallAd(const DZMediatedNativeAppInstallAd& ad);
    [[nodiscard]] static core::Dictionary
    JSONAssetsFromMediatedNativeContentAd(const DZMediatedNativeContentAd& ad);
    // {"template_id": <the network's "template_ids">, "assets": {...}} as
    // compact JSON; nullopt when the ad has no assets of its kind.
    [[nodiscard]] std::optional<std::string>
    assetsFromMediatedNativeAd(const DZMediatedNativeAdProtocol& ad) const;
    // The JSON as a script literal: U+2028, U+2029 and "</" escaped.
    [[nodiscard]] static std::string scriptLiteralFromJSON(const std::string& json);
    // The template with the assets' script element before its first script:
    // inside its head, else after its doctype, else at its start.
    [[nodiscard]] static std::string templateWithAssets(const std::string& html,
                                                        const std::string& json);
    // Loads the template with the ad's assets into a new ad view; false (and
    // nothing loaded) when there are no assets.
    bool loadNativeExpressHTMLTemplateForMediatedNativeAd(const DZMediatedNativeAdProtocol& ad);

    [[nodiscard]] const std::shared_ptr<DZAdType>& adType() const { return adType_; }
    [[nodiscard]] const std::shared_ptr<DZMAdNetworkConnectorNativeAd>& nativeAdConnector() const {
        return nativeAdConnector_;
    }
    [[nodiscard]] const std::shared_ptr<DZAdView>& adView() const { return adView_; }
    [[nodiscard]] const std::shared_ptr<DZMediatedNativeAdProtocol>& mediatedNativeAd() const {
        return mediatedNativeAd_;
    }

    // The template's load, as its ad view delegate passes it on.
    void adViewDidFinishLoad(DZAdView& adView) override;
    void didFailLoadWithError(DZAdView& adView, const Error& error) override;
    // The template's impression.
    void impressionMonitorDidMonitorImpression(DZImpressionMonitor& monitor) override;
    // A click on the template, counted by the slot.
    void slotDidRecordClick() override;
    [[nodiscard]] const std::shared_ptr<DZNativeExpressTemplateAdViewDelegate>&
    templateAdViewDelegate() const {
        return templateAdViewDelegate_;
    }

protected:
    friend class DZMAdNetworkConnector;
    using DZMAdNetworkConnector::DZMAdNetworkConnector;

private:
    void reportFailure(const Error& error);
    void discardAdView();
    void observeNetworkAnnouncements();
    void stopObservingNetworkAnnouncements();
    void reportTemplateImpression();
    void reportTemplateClick();

    std::shared_ptr<DZMAdNetworkConnectorNativeAd> nativeAdConnector_;
    std::shared_ptr<DZAdType> adType_;
    std::shared_ptr<DZAdView> adView_;
    std::shared_ptr<DZNativeExpressTemplateAdViewDelegate> templateAdViewDelegate_;
    std::shared_ptr<DZImpressionMonitor> impressionMonitor_;
    std::shared_ptr<DZMediatedNativeAdProtocol> mediatedNativeAd_;
    // The network's ad whose announcements are observed, and the tokens.
    const DZMediatedNativeAdProtocol* observedAd_ = nullptr;
    std::vector<core::NotificationCenter::Token> networkObservers_;
    // What the adapter said it reports itself.
    bool adapterHandlesUserClicks_ = false;
    bool adapterHandlesUserImpressions_ = false;
    // The template has been reported, as a view or a failure.
    bool templateReported_ = false;
};

}  // namespace ads
