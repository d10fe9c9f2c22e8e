#pragma once
// The SDK's own network extras: additional request parameters, sent as
// "extras". Two keys have a meaning of their own: "_useOnce" (a true
// Boolean) makes the extras leave the request after one load, "_ad" makes
// the request one that the interstitial pre-load cache does not keep.
// A value once made; any thread.

#include <memory>
#include <optional>
#include <string>

#include "ads/core/request/DZAdNetworkExtras.h"
#include "core/Value.h"

namespace ads {

class DZExtras final : public DZAdNetworkExtras {
public:
    static constexpr const char* kClassName = "DZExtras";

    DZExtras() = default;
    explicit DZExtras(std::optional<core::Dictionary> additionalParameters)
        : additionalParameters_(std::move(additionalParameters)) {}

    [[nodiscard]] std::string className() const override { return kClassName; }
    [[nodiscard]] const std::optional<core::Dictionary>& additionalParameters() const {
        return additionalParameters_;
    }
    // Before the extras are registered with a request.
    void setAdditionalParameters(std::optional<core::Dictionary> parameters) {
        additionalParameters_ = std::move(parameters);
    }
    // A new object with the same parameters.
    [[nodiscard]] std::shared_ptr<DZExtras> copy() const {
        return std::make_shared<DZExtras>(additionalParameters_);
    }

private:
    std::optional<core::Dictionary> additionalParameters_;
};

}  // namespace ads
