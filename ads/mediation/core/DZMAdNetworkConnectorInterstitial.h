#pragma once
// The connector of an interstitial network: it asks the adapter for an
// interstitial, reports the outcome to the waterfall, counts the
// interstitial's presentation as its impression, and relays its
// full-screen and leave-the-app events to the slot (a dismissal always
// follows a will-dismiss). Main thread.

#include <memory>
#include <string>

#include "ads/mediation/core/DZMAdNetworkConnector.h"

namespace ads {

class DZMAdNetworkConnectorInterstitial : public DZMAdNetworkConnector {
public:
    static constexpr const char* kClassName = "DZMAdNetworkConnectorInterstitial";

    [[nodiscard]] static std::shared_ptr<DZMAdNetworkConnectorInterstitial>
    create(std::shared_ptr<DZMConfig> config, std::shared_ptr<DZMAdNetworkConfig> networkConfig);

    [[nodiscard]] std::string className() const override { return kClassName; }

    // Other types than the interstitial fail with SDK error 11.
    void getAdFromAdapterWithType(const std::shared_ptr<DZAdType>& adType) override;

    void adapterDidReceiveInterstitial(const DZMAdNetworkAdapter* adapter) override;
    void adapterDidFailAd(const DZMAdNetworkAdapter* adapter, const Error& error) override;
    void adapterDidFailInterstitial(const DZMAdNetworkAdapter* adapter,
                                    const Error& error) override;
    void adapterWillPresentInterstitial(const DZMAdNetworkAdapter* adapter) override;
    void adapterWillDismissInterstitial(const DZMAdNetworkAdapter* adapter) override;
    void adapterDidDismissInterstitial(const DZMAdNetworkAdapter* adapter) override;
    void adapterWillLeaveApplication(const DZMAdNetworkAdapter* adapter) override;

    [[nodiscard]] bool calledWillDismissInterstitial() const {
        return calledWillDismissInterstitial_;
    }

protected:
    friend class DZMAdNetworkConnector;
    using DZMAdNetworkConnector::DZMAdNetworkConnector;

private:
    bool calledWillDismissInterstitial_ = false;
};

}  // namespace ads
