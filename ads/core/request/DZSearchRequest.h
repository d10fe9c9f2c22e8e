#pragma once
// A request for search ads, text ads matching a search query of the host
// app: the query and the look of the ads go into the request parameters
// under "search", and the request travels the normal ad request path. It is
// never kept by the interstitial pre-load cache. Same threading as
// DZRequest.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ads/core/request/DZRequest.h"
#include "gfx/Color.h"

namespace ads {

class DZSearchRequest : public DZRequest {
public:
    static constexpr const char* kClassName = "DZSearchRequest";
    // Values of borderType ("btype").
    enum BorderType : std::uint64_t {
        kBorderNone = 0,
        kBorderDashed = 1,
        kBorderDotted = 2,
        kBorderSolid = 3
    };
    // Values of callButtonColor ("callbuttoncolor").
    enum CallButtonColor : std::uint64_t {
        kCallButtonLight = 0,
        kCallButtonMedium = 1,
        kCallButtonDark = 2
    };

    // As DZRequest::initWithParameters, with DZSearchRequest as the class
    // that answers when the dictionary names no other.
    [[nodiscard]] static std::shared_ptr<DZRequest>
    initWithParameters(const core::Value& parameters);

    [[nodiscard]] std::string className() const override { return kClassName; }
    // The base parameters with "search": the set properties in a fixed
    // order, colours as "#rrggbb".
    [[nodiscard]] core::Dictionary threadSafeParameters() const override;
    [[nodiscard]] bool cacheable() const override { return false; }

    // A solid background: clears the gradient.
    void setBackgroundSolid(std::optional<gfx::Color> color);
    // A gradient background, only when both colours are given; clears the
    // solid one.
    void setBackgroundGradientFrom(std::optional<gfx::Color> from, std::optional<gfx::Color> to);

    struct Properties {
        std::optional<std::string> query;
        std::optional<gfx::Color> backgroundColor;
        std::optional<gfx::Color> gradientFrom;
        std::optional<gfx::Color> gradientTo;
        std::optional<gfx::Color> headerColor;
        std::optional<gfx::Color> descriptionTextColor;
        std::optional<gfx::Color> anchorTextColor;
        std::optional<std::string> fontFamily;
        std::uint64_t headerTextSize = 0;
        std::optional<gfx::Color> borderColor;
        std::uint64_t borderType = kBorderNone;
        std::uint64_t borderThickness = 0;
        std::optional<std::string> customChannels;
        std::uint64_t callButtonColor = kCallButtonLight;
    };
    // The fourteen search properties, read and set together.
    [[nodiscard]] const Properties& search() const { return search_; }
    [[nodiscard]] Properties& search() { return search_; }

protected:
    void readParameters(const core::Dictionary& parameters) override;
    void copyFieldsTo(DZRequest& copy) const override;

private:
    Properties search_;
};

// "#rrggbb" of a colour's components, each clamped to 0...1, times 255 and
// truncated.
[[nodiscard]] std::string DZSearchColorString(const gfx::Color& color);

}  // namespace ads
