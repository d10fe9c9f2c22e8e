#pragma once
// What an ad network's adapter does for the waterfall. An adapter is made
// by its class's factory with the connector of one network entry
// (initWithDZMAdNetworkConnector:), asked for one ad of a format, and calls
// its connector back on the main thread with the outcome and the ad's
// events. After stopBeingDelegate() it must not call the connector again.
//
// The class-side tests decide which registered classes count as adapters
// (DZMClassRegistry): an adapter class adopts the adapter protocol (or the
// rewarded one), and an adapter of the current API answers
// getBannerWithSize: or getInterstitial.
//
// Main thread, except the class-side tests (any thread).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ads/core/request/DZAdSize.h"

namespace ui {
class ViewController;
}

namespace ads {

class DZAdLoaderOptions;

class DZMAdNetworkAdapter {
public:
    static constexpr const char* kProtocolName = "DZMAdNetworkAdapter";

    virtual ~DZMAdNetworkAdapter() = default;

    virtual void getBannerWithSize(const DZAdSize& adSize) { (void)adSize; }
    virtual void getInterstitial() {}
    virtual void
    getNativeAdWithAdTypes(const std::vector<std::string>& adTypes,
                           const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options) {
        (void)adTypes, (void)options;
    }
    virtual void
    presentInterstitialFromRootViewController(const std::shared_ptr<ui::ViewController>& root) {
        (void)root;
    }
    // False: the adapter does not take size changes (the default).
    virtual bool changeAdSizeTo(const DZAdSize& adSize) {
        (void)adSize;
        return false;
    }
    [[nodiscard]] virtual bool isBannerAnimationOK(std::int64_t animationType) {
        (void)animationType;
        return true;
    }
    virtual void stopBeingDelegate() = 0;

    // The instance's own version text; nullopt when it gives none.
    [[nodiscard]] virtual std::optional<std::string> adapterVersion() const { return std::nullopt; }
    // Whether the network reports native clicks and impressions itself;
    // nullopt when the adapter does not say.
    [[nodiscard]] virtual std::optional<bool> handlesUserClicks() const { return std::nullopt; }
    [[nodiscard]] virtual std::optional<bool> handlesUserImpressions() const {
        return std::nullopt;
    }

    // The given names, in order and once each, whose class (or a superclass)
    // adopts the adapter protocol.
    [[nodiscard]] static std::vector<std::string>
    availableAdapterNamesInSet(const std::vector<std::string>& names);
    // Adopts the adapter protocol or the rewarded adapter protocol.
    [[nodiscard]] static bool classIsAdapterClass(std::string_view className);
    // Instances answer getBannerWithSize: or getInterstitial, or the class
    // adopts the rewarded adapter protocol.
    [[nodiscard]] static bool classImplementsCurrentAdapterAPI(std::string_view className);
};

}  // namespace ads
