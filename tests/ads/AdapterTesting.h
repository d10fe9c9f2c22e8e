#pragma once
// Shared by the tests of the SDK's own adapters (the ad URL adapter and the
// own network's): a banner slot whose owner has a root view controller and
// makes connectors that write down everything their adapter tells them,
// and the adapter those connectors made.

#include <memory>
#include <string>
#include <vector>

#include "MediationSlotTesting.h"
#include "ads/mediation/core/DZMAdNetworkConnectorBanner.h"
#include "ads/mediation/core/DZMAdNetworkConnectorInterstitial.h"
#include "ui/ViewController.h"

namespace adaptertesting {

// A connector of the given kind that records, in order, what its adapter
// tells it ("view", "fail <domain> <code>", "click", "present",
// "willDismiss", "dismiss", "leave", "interstitial", "presentInterstitial",
// "willDismissInterstitial", "dismissInterstitial", "native") and then
// acts as its kind does. native makes it count as a native connector.
template <typename Base>
class EventConnector : public Base {
public:
    using Base::Base;
    static std::shared_ptr<EventConnector>
    make(const std::shared_ptr<ads::DZMConfig>& config,
         const std::shared_ptr<ads::DZMAdNetworkConfig>& network) {
        if (!config || !network) return nullptr;
        return std::shared_ptr<EventConnector>(new EventConnector(config, network));
    }

    bool isNativeAdConnector() const override { return native; }
    void adapterDidReceiveAdView(const ads::DZMAdNetworkAdapter* adapter,
                                 const std::shared_ptr<ui::View>& view) override {
        events.push_back("view");
        views.push_back(view);
        Base::adapterDidReceiveAdView(adapter, view);
    }
    void adapterDidReceiveInterstitial(const ads::DZMAdNetworkAdapter* adapter) override {
        events.push_back("interstitial");
        Base::adapterDidReceiveInterstitial(adapter);
    }
    void adapterDidReceiveMediatedNativeAd(
        const ads::DZMAdNetworkAdapter* adapter,
        const std::shared_ptr<ads::DZMediatedNativeAdProtocol>& ad) override {
        events.push_back("native");
        Base::adapterDidReceiveMediatedNativeAd(adapter, ad);
    }
    void adapterDidFailAd(const ads::DZMAdNetworkAdapter* adapter,
                          const ads::Error& error) override {
        events.push_back("fail " + error.domain + " " + std::to_string(error.code));
        failures.push_back(error);
        Base::adapterDidFailAd(adapter, error);
    }
    void adapterDidGetAdClick(const ads::DZMAdNetworkAdapter* adapter) override {
        events.push_back("click");
        Base::adapterDidGetAdClick(adapter);
    }
    void adapterWillPresentFullScreenModal(const ads::DZMAdNetworkAdapter* adapter) override {
        events.push_back("present");
        Base::adapterWillPresentFullScreenModal(adapter);
    }
    void adapterWillDismissFullScreenModal(const ads::DZMAdNetworkAdapter* adapter) override {
        events.push_back("willDismiss");
        Base::adapterWillDismissFullScreenModal(adapter);
    }
    void adapterDidDismissFullScreenModal(const ads::DZMAdNetworkAdapter* adapter) override {
        events.push_back("dismiss");
        Base::adapterDidDismissFullScreenModal(adapter);
    }
    void adapterWillLeaveApplication(const ads::DZMAdNetworkAdapter* adapter) override {
        events.push_back("leave");
        Base::adapterWillLeaveApplication(adapter);
    }
    void adapterWillPresentInterstitial(const ads::DZMAdNetworkAdapter* adapter) override {
        events.push_back("presentInterstitial");
        Base::adapterWillPresentInterstitial(adapter);
    }
    void adapterWillDismissInterstitial(const ads::DZMAdNetworkAdapter* adapter) override {
        events.push_back("willDismissInterstitial");
        Base::adapterWillDismissInterstitial(adapter);
    }
    void adapterDidDismissInterstitial(const ads::DZMAdNetworkAdapter* adapter) override {
        events.push_back("dismissInterstitial");
        Base::adapterDidDismissInterstitial(adapter);
    }

    bool native = false;
    std::vector<std::string> events;
    std::vector<ads::Error> failures;
    std::vector<std::shared_ptr<ui::View>> views;
};

using BannerConnector = EventConnector<ads::DZMAdNetworkConnectorBanner>;
using InterstitialConnector = EventConnector<ads::DZMAdNetworkConnectorInterstitial>;

// A slot owner with a root view controller, as a banner view has.
class RootedOwner : public slottesting::RecordingOwner {
public:
    std::shared_ptr<ui::ViewController> rootViewController() const override { return root; }
    std::shared_ptr<ui::ViewController> root = std::make_shared<ui::ViewController>();
};

// A banner slot test whose connectors are event connectors of Base; the
// latest one made is connector.
template <typename Base>
class AdapterSlotTest : public mediationtesting::MediationSlotTest {
protected:
    void SetUp() override {
        MediationSlotTest::SetUp();
        owner = rooted;
        owner->becomesMediationDelegate = true;
        owner->makeConnector = [this](const std::shared_ptr<ads::DZMConfig>& config,
                                      const std::shared_ptr<ads::DZMAdNetworkConfig>& network)
            -> std::shared_ptr<ads::DZMAdNetworkConnector> {
            connector = EventConnector<Base>::make(config, network);
            return connector;
        };
    }
    void TearDown() override {
        connector.reset();
        MediationSlotTest::TearDown();
    }
    // The adapter the latest connector made, as its class.
    template <typename Adapter>
    [[nodiscard]] std::shared_ptr<Adapter> adapter() const {
        return connector ? std::dynamic_pointer_cast<Adapter>(connector->adapter()) : nullptr;
    }

    std::shared_ptr<RootedOwner> rooted = std::make_shared<RootedOwner>();
    std::shared_ptr<EventConnector<Base>> connector;
};

}  // namespace adaptertesting
