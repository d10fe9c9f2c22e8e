#pragma once
// The SDK's own network extras: additional request parameters, sent as
// "extras". Two keys have a meaning of their own: "_useOnce" (a true
// Boolean) makes the extras leave the request after one load, "_ad" makes
// the request one that the interstitial pre-load cache does not keep.
// Beside the parameters, the extras of a mediated network's request carry
// what the waterfall knows of its inline "_ad" (size, cropped-content
// threshold, original request, redirects): native values that no server or
// page can put into the parameters.
// A value once made; any thread.

#include <memory>
#include <optional>
#include <string>

#include "ads/core/request/DZAdNetworkExtras.h"
#include "core/Value.h"

namespace ads {

struct DZAdNativeProperties;

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
    // What goes with the inline "_ad" of the parameters; nullptr for none.
    [[nodiscard]] const std::shared_ptr<const DZAdNativeProperties>&
    inlineAdNativeProperties() const {
        return inlineAdNativeProperties_;
    }
    // Before the extras are registered with a request.
    void setInlineAdNativeProperties(std::shared_ptr<const DZAdNativeProperties> properties) {
        inlineAdNativeProperties_ = std::move(properties);
    }
    // A new object with the same parameters and native properties.
    [[nodiscard]] std::shared_ptr<DZExtras> copy() const {
        auto copied = std::make_shared<DZExtras>(additionalParameters_);
        copied->inlineAdNativeProperties_ = inlineAdNativeProperties_;
        return copied;
    }

private:
    std::optional<core::Dictionary> additionalParameters_;
    std::shared_ptr<const DZAdNativeProperties> inlineAdNativeProperties_;
};

}  // namespace ads
