#pragma once
// What a rewarded network's adapter does for the rewarded ad's waterfall.
// An adapter is made by its class's factories (DZMClassRegistry) with the
// connector of its network, set up once with its network's credentials
// (which may take time), then asked for ads and told to present them. It
// reports to its connector on the main thread; after stopBeingDelegate()
// it must not call the connector again.
//
// setUp() and setUpWithUserID() count only when the class's description
// says its instances answer them; the connector asks the registry first.
//
// Main thread.

#include <memory>
#include <optional>
#include <string>

namespace ui {
class ViewController;
}

namespace ads {

class DZMRewardBasedVideoAdNetworkAdapter {
public:
    static constexpr const char* kProtocolName = "DZMRewardBasedVideoAdNetworkAdapter";

    virtual ~DZMRewardBasedVideoAdNetworkAdapter() = default;

    virtual void setUp() {}
    virtual void setUpWithUserID(const std::optional<std::string>& userID) { (void)userID; }
    virtual void requestRewardBasedVideoAd() = 0;
    virtual void
    presentRewardBasedVideoAdWithRootViewController(const std::shared_ptr<ui::ViewController>& root) = 0;
    virtual void stopBeingDelegate() = 0;
};

}  // namespace ads
