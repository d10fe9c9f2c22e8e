#pragma once
// A publisher's custom event: a class of the host app, registered by name
// (DZMClassRegistry) and made with its plain initializer, that obtains a
// banner, an interstitial or a native ad by its own means and reports back
// through the delegate of the format's protocol. What a custom event adopts
// is what it derives from: DZCustomEventBanner, DZCustomEventInterstitial,
// DZCustomEventNativeAd. Main thread.

#include <memory>
#include <string>
#include <type_traits>

#include "ads/mediation/core/DZMClassRegistry.h"

namespace ads {

class DZCustomEventBanner;
class DZCustomEventInterstitial;
class DZCustomEventNativeAd;

class DZCustomEvent {
public:
    virtual ~DZCustomEvent() = default;
};

// The registry entry of a custom event class T: its protocols follow from
// what T derives from; instances are made with T's plain constructor.
template <typename T>
[[nodiscard]] DZMClassDescription DZCustomEventClassDescription(std::string name) {
    DZMClassDescription description;
    description.name = std::move(name);
    if constexpr (std::is_base_of_v<DZCustomEventBanner, T>)
        description.protocols.insert(DZMProtocol::customEventBanner);
    if constexpr (std::is_base_of_v<DZCustomEventInterstitial, T>)
        description.protocols.insert(DZMProtocol::customEventInterstitial);
    if constexpr (std::is_base_of_v<DZCustomEventNativeAd, T>) {
        description.protocols.insert(DZMProtocol::customEventNativeAd);
        description.instanceSelectors.insert(DZMSelector::requestNativeAdWithParameter);
    }
    description.makeObject = [] { return std::make_shared<T>(); };
    return description;
}

}  // namespace ads
