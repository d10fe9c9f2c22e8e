#pragma once
// The connector of a native network: it asks the adapter for a native ad of
// the ad loader's ad types with the loader's options, and hands the
// network's ad to the waterfall wrapped in a DZMediatedNativeAd (the
// adapter's class, its reporting flags, the response's attribution flag),
// from which the ad loader makes the native ad its delegate receives.
// Clicks, screens and leaving the app are not this connector's: a native
// network reports them through its ad's notification source.
//
// Wrapped inside a native express connector it reports through that
// connector (setReportingConnector), so that the waterfall, which listens
// only to the connector it asked, hears its failures at once.
//
// Main thread.

#include <memory>
#include <string>

#include "ads/mediation/core/DZMAdNetworkConnector.h"

namespace ads {

class DZMAdNetworkConnectorNativeAd : public DZMAdNetworkConnector {
public:
    static constexpr const char* kClassName = "DZMAdNetworkConnectorNativeAd";
    static constexpr const char* kNoNativeSupportFormat =
        "%@ adapter doesn't implement protocol for fetching native ad.";

    [[nodiscard]] static std::shared_ptr<DZMAdNetworkConnectorNativeAd>
    create(std::shared_ptr<DZMConfig> config, std::shared_ptr<DZMAdNetworkConfig> networkConfig);

    [[nodiscard]] std::string className() const override { return kClassName; }
    [[nodiscard]] bool isNativeAdConnector() const override { return true; }

    // The type is not looked at. An adapter whose class does not answer
    // getNativeAdWithAdTypes:options: fails with SDK error 11.
    void getAdFromAdapterWithType(const std::shared_ptr<DZAdType>& adType) override;

    // From any adapter: the waterfall gets the wrapped ad.
    void
    adapterDidReceiveMediatedNativeAd(const DZMAdNetworkAdapter* adapter,
                                      const std::shared_ptr<DZMediatedNativeAdProtocol>& ad) override;
    // From its own adapter: the waterfall hears the failure.
    void adapterDidFailAd(const DZMAdNetworkAdapter* adapter, const Error& error) override;
    void adapterDidGetAdClick(const DZMAdNetworkAdapter*) override {}
    void adapterWillPresentFullScreenModal(const DZMAdNetworkAdapter*) override {}
    void adapterWillDismissFullScreenModal(const DZMAdNetworkAdapter*) override {}
    void adapterDidDismissFullScreenModal(const DZMAdNetworkAdapter*) override {}
    void adapterWillPresentInterstitial(const DZMAdNetworkAdapter*) override {}
    void adapterWillDismissInterstitial(const DZMAdNetworkAdapter*) override {}
    void adapterDidDismissInterstitial(const DZMAdNetworkAdapter*) override {}
    void adapterWillLeaveApplication(const DZMAdNetworkAdapter*) override {}

    // The connector the waterfall knows this one by; itself when unset.
    void setReportingConnector(std::weak_ptr<DZMAdNetworkConnector> connector) {
        reportingConnector_ = std::move(connector);
        hasReportingConnector_ = true;
    }

protected:
    friend class DZMAdNetworkConnector;
    using DZMAdNetworkConnector::DZMAdNetworkConnector;

    // To the waterfall, as the reporting connector.
    void reportFailure(const Error& error);

private:
    [[nodiscard]] std::shared_ptr<DZMAdNetworkConnector> reportingConnector();

    std::weak_ptr<DZMAdNetworkConnector> reportingConnector_;
    bool hasReportingConnector_ = false;
};

}  // namespace ads
