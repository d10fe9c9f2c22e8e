#pragma once
// What an ad network's adapter may ask about the request it serves: the
// network's credentials, the publisher's targeting, where to present full
// screen content and the app's sound. A connector answers for its network
// entry; the internal extension adds what the SDK's own adapters need
// (the inline ad, the network's extras, every network's adapter names, the
// slot). Main thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ads/core/response/DZAd.h"
#include "ads/foundation/DZLocation.h"
#include "core/Value.h"
#include "gfx/Geometry.h"

namespace ui {
class ViewController;
}

namespace ads {

class DZAdNetworkExtras;
class DZSlot;

// A network's own ad ("ad") made ready to load as the SDK's ad: the
// dictionary, and what travels beside it from the slot's ad.
struct DZMInlineAd {
    core::Dictionary dictionary;
    DZAdNativeProperties native;
};

class DZMediationAdRequest {
public:
    virtual ~DZMediationAdRequest() = default;

    [[nodiscard]] virtual std::optional<std::string> publisherId() const = 0;
    [[nodiscard]] virtual std::optional<core::Dictionary> credentials() const = 0;
    [[nodiscard]] virtual bool testMode() const = 0;
    [[nodiscard]] virtual std::shared_ptr<DZAdNetworkExtras> networkExtras() const = 0;
    [[nodiscard]] virtual std::shared_ptr<DZAdNetworkExtras>
    networkExtrasForClass(std::string_view className) const = 0;
    [[nodiscard]] virtual std::optional<bool> childDirectedTreatment() const = 0;
    [[nodiscard]] virtual std::int64_t userGender() const = 0;
    [[nodiscard]] virtual std::optional<core::Date> userBirthday() const = 0;
    [[nodiscard]] virtual std::optional<core::Array> userKeywords() const = 0;
    [[nodiscard]] virtual bool userHasLocation() const = 0;
    [[nodiscard]] virtual double userLatitude() const = 0;
    [[nodiscard]] virtual double userLongitude() const = 0;
    [[nodiscard]] virtual double userLocationAccuracyInMeters() const = 0;
    [[nodiscard]] virtual std::optional<std::string> userLocationDescription() const = 0;
    [[nodiscard]] virtual std::shared_ptr<ui::ViewController>
    viewControllerForPresentingModalView() const = 0;
    [[nodiscard]] virtual float adVolume() const = 0;
    [[nodiscard]] virtual bool adMuted() const = 0;
};

class DZMediationAdRequestInternal : public virtual DZMediationAdRequest {
public:
    [[nodiscard]] virtual std::optional<DZLocation> userLocation() const = 0;
    [[nodiscard]] virtual gfx::Size adSize() const = 0;
    [[nodiscard]] virtual double croppedContentThreshold() const = 0;
    [[nodiscard]] virtual std::optional<DZMInlineAd> inlineAd() const = 0;
    // The network's "extras".
    [[nodiscard]] virtual std::optional<core::Dictionary> extras() const = 0;
    // One list of class names per network of the response, in order (an
    // empty list for a network without "adapters").
    [[nodiscard]] virtual core::Array adapterNames() const = 0;
    [[nodiscard]] virtual std::optional<std::string> currentAdapterName() const = 0;
    [[nodiscard]] virtual std::optional<std::string> userRequestAgent() const = 0;
    [[nodiscard]] virtual std::shared_ptr<DZSlot> slot() const = 0;
};

}  // namespace ads
