#pragma once
// One slot's mediation waterfall. No network adapter is linked into the SDK
// yet, so every network of a configuration is one without an adapter and a
// waterfall ends at once in no fill: the slot is failed with SDK error 9,
// as after a waterfall that no network filled. Each call is recorded in
// DZCallLog ("DZMAdManager.<operation>"). Main thread.

#include <memory>

namespace ui {
class ViewController;
}

namespace ads {

class DZAdType;
class DZMAdNetworkConnector;
class DZMConfig;
class DZSlot;

class DZMAdManager {
public:
    DZMAdManager() = default;
    DZMAdManager(const DZMAdManager&) = delete;
    DZMAdManager& operator=(const DZMAdManager&) = delete;

    [[nodiscard]] std::shared_ptr<DZSlot> slot() const { return slot_.lock(); }
    void setSlot(std::weak_ptr<DZSlot> slot) { slot_ = std::move(slot); }

    // Runs the configuration's waterfall for the ad type; the slot hears
    // the outcome.
    void mediateForAdType(const std::shared_ptr<DZAdType>& adType,
                          const std::shared_ptr<DZMConfig>& config);
    void cancel();
    // Whether the network that filled took the new type's size.
    [[nodiscard]] bool changeAdTypeTo(const std::shared_ptr<DZAdType>& adType);
    void presentInterstitialFromRootViewController(
        const std::shared_ptr<ui::ViewController>& viewController);

    [[nodiscard]] const std::shared_ptr<DZMAdNetworkConnector>& receivedConnector() const {
        return receivedConnector_;
    }
    void setReceivedConnector(std::shared_ptr<DZMAdNetworkConnector> connector) {
        receivedConnector_ = std::move(connector);
    }

private:
    std::weak_ptr<DZSlot> slot_;
    std::shared_ptr<DZMAdNetworkConnector> receivedConnector_;
};

}  // namespace ads
