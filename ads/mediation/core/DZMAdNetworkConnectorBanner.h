#pragma once
// The connector of a banner network: it asks the adapter for a banner of
// the network's slot size (or the response's default slot size, or the
// requested type's), hands each delivered view to the waterfall, watches
// the view for the network's impression (one impression ping per delivered
// view), relays the banner's full-screen and leave-the-app events to the
// slot, and keeps the network's app events while no slot delegate takes
// them. Every delivery after the first counts as the network's own
// refresh. Main thread.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ads/core/request/DZAdSize.h"
#include "ads/mediation/core/DZMAdNetworkConnector.h"
#include "ads/web/view/DZImpressionMonitor.h"

namespace ads {

class DZMAdNetworkConnectorBanner : public DZMAdNetworkConnector,
                                    public DZImpressionMonitorDelegate {
public:
    static constexpr const char* kClassName = "DZMAdNetworkConnectorBanner";
    // App events kept for a mediated banner ad at most.
    static constexpr size_t kMaximumQueuedAppEvents = 100;

    struct AppEvent {
        std::string name;
        std::optional<std::string> info;
    };

    [[nodiscard]] static std::shared_ptr<DZMAdNetworkConnectorBanner>
    create(std::shared_ptr<DZMConfig> config, std::shared_ptr<DZMAdNetworkConfig> networkConfig);

    [[nodiscard]] std::string className() const override { return kClassName; }

    // Interstitial types fail with SDK error 11, as do sizes that do not
    // fit the screen (the adapter is then not asked).
    void getAdFromAdapterWithType(const std::shared_ptr<DZAdType>& adType) override;
    // The size a banner of the type gets from this network.
    [[nodiscard]] DZAdSize bannerSizeForType(const std::shared_ptr<DZAdType>& adType) const;

    void adapterDidReceiveAdView(const DZMAdNetworkAdapter* adapter,
                                 const std::shared_ptr<ui::View>& view) override;
    void adapterDidFailAd(const DZMAdNetworkAdapter* adapter, const Error& error) override;
    void adapterWillPresentFullScreenModal(const DZMAdNetworkAdapter* adapter) override;
    void adapterWillDismissFullScreenModal(const DZMAdNetworkAdapter* adapter) override;
    void adapterDidDismissFullScreenModal(const DZMAdNetworkAdapter* adapter) override;
    void adapterWillLeaveApplication(const DZMAdNetworkAdapter* adapter) override;
    void adapterDidReceiveAppEvent(const DZMAdNetworkAdapter* adapter, const std::string& name,
                                   const std::optional<std::string>& info) override;

    // DZImpressionMonitorDelegate.
    void impressionMonitorDidMonitorImpression(DZImpressionMonitor& monitor) override;

    [[nodiscard]] bool didNetworkReturn() const { return didNetworkReturn_; }
    [[nodiscard]] const std::vector<AppEvent>& queuedAppEvents() const { return queuedAppEvents_; }
    // The queued events, in order; the queue is empty afterwards.
    [[nodiscard]] std::vector<AppEvent> takeQueuedAppEvents() {
        return std::exchange(queuedAppEvents_, {});
    }
    [[nodiscard]] const std::shared_ptr<DZImpressionMonitor>& impressionMonitor() const {
        return impressionMonitor_;
    }

protected:
    friend class DZMAdNetworkConnector;
    using DZMAdNetworkConnector::DZMAdNetworkConnector;

private:
    void noteNetworkAnswered();

    std::shared_ptr<DZImpressionMonitor> impressionMonitor_;
    bool didNetworkReturn_ = false;
    std::vector<AppEvent> queuedAppEvents_;
};

}  // namespace ads
