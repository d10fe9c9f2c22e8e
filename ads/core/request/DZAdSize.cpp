#include "ads/core/request/DZAdSize.h"

#include <array>
#include <cmath>
#include <cstring>
#include <utility>

#include "ads/foundation/DZDevice.h"
#include "core/StringFormat.h"
#include "gfx/GeometryText.h"
#include "ui/DeviceProfile.h"

namespace ads {

namespace {

using NamedSize = std::pair<DZAdSize, const char*>;

constexpr std::array kStandardSizes{
    kDZAdSizeInvalid,    kDZAdSizeBanner,      kDZAdSizeLargeBanner, kDZAdSizeMediumRectangle,
    kDZAdSizeFullBanner, kDZAdSizeLeaderboard, kDZAdSizeSkyscraper};

constexpr std::array kNamedSizes{
    NamedSize{kDZAdSizeBanner, "kDZAdSizeBanner"},
    NamedSize{kDZAdSizeLargeBanner, "kDZAdSizeLargeBanner"},
    NamedSize{kDZAdSizeMediumRectangle, "kDZAdSizeMediumRectangle"},
    NamedSize{kDZAdSizeFullBanner, "kDZAdSizeFullBanner"},
    NamedSize{kDZAdSizeLeaderboard, "kDZAdSizeLeaderboard"},
    NamedSize{kDZAdSizeSkyscraper, "kDZAdSizeSkyscraper"},
    NamedSize{kDZAdSizeSmartBannerSkinnyPortrait, "kDZAdSizeSmartBannerSkinnyPortrait"},
    NamedSize{kDZAdSizeSmartBannerSkinnyLandscape, "kDZAdSizeSmartBannerSkinnyLandscape"},
    NamedSize{kDZAdSizeSmartBannerPortrait, "kDZAdSizeSmartBannerPortrait"},
    NamedSize{kDZAdSizeSmartBannerLandscape, "kDZAdSizeSmartBannerLandscape"},
    NamedSize{kDZAdSizeFluid, "kDZAdSizeFluid"},
    NamedSize{kDZAdSizeInvalid, "kDZAdSizeInvalid"},
};

bool sameSize(gfx::Size a, gfx::Size b) {
    return a.width == b.width && a.height == b.height;
}

// Full-width sizes: the automatic height on this idiom, nullopt on other
// idioms (where full width resolves to nothing).
std::optional<double> automaticHeight(std::uint64_t flags) {
    switch (ui::DeviceProfile::current().idiom) {
    case ui::UserInterfaceIdiom::Phone:
        return (flags & kDZAdSizeFlagLandscape) ? 32 : 50;
    case ui::UserInterfaceIdiom::Pad:
        return (flags & kDZAdSizeFlagSkinny) ? 66 : 90;
    case ui::UserInterfaceIdiom::Unspecified:
        break;
    }
    return std::nullopt;
}

gfx::Size resolvedFullWidth(const DZAdSize& adSize, const DZDevice& device) {
    const gfx::Size portrait = device.standardizedPortraitScreenBounds().size;
    const auto height = automaticHeight(adSize.flags);
    if (!height) return {};
    const double width = (adSize.flags & kDZAdSizeFlagLandscape) ? portrait.height : portrait.width;
    if (adSize.flags & kDZAdSizeFlagAutoHeight) return {width, *height};
    if (adSize.flags & kDZAdSizeFlagCustom) return {width, adSize.size.height};
    return {};
}

}  // namespace

DZAdSize DZAdSizeMatchKnownSize(gfx::Size size) {
    for (const DZAdSize& known : kStandardSizes) {
        if (sameSize(known.size, size)) return known;
    }
    return {size, kDZAdSizeFlagCustom};
}

bool DZAdSizesEqual(const DZAdSize& a, const DZAdSize& b) {
    return a.flags == b.flags && sameSize(a.size, b.size);
}

bool DZAdSizeIsFluid(const DZAdSize& size) {
    return (size.flags & kDZAdSizeFlagFluid) != 0;
}

bool DZAdSizeIsFullWidth(const DZAdSize& size) {
    return (size.flags & kDZAdSizeFlagFullWidth) != 0;
}

bool DZAdSizeIsAutoHeight(const DZAdSize& size) {
    return (size.flags & kDZAdSizeFlagAutoHeight) != 0;
}

gfx::Size DZAdSizeResolvedCGSize(const DZAdSize& size) {
    return DZAdSizeResolvedCGSize(size, *DZDevice::sharedInstance());
}

gfx::Size DZAdSizeResolvedCGSize(const DZAdSize& size, const DZDevice& device) {
    if (DZAdSizeIsFluid(size)) {
        if (sameSize(size.size, {0, 0}))
            return {device.standardizedOrientedKeyWindowSize().width, 1.0};
        return size.size;
    }
    if (size.flags == 0) {
        for (const DZAdSize& known : kStandardSizes) {
            if (!DZAdSizesEqual(known, kDZAdSizeInvalid) && sameSize(known.size, size.size))
                return size.size;
        }
        return {};
    }
    if (DZAdSizeIsFullWidth(size)) return resolvedFullWidth(size, device);
    if (size.flags & kDZAdSizeFlagCustom) return size.size;
    return {};
}

bool DZAdSizeValidate(const DZAdSize& size, Error* error) {
    return DZAdSizeValidate(size, *DZDevice::sharedInstance(), error);
}

bool DZAdSizeValidate(const DZAdSize& size, const DZDevice& device, Error* error) {
    if (DZAdSizesEqual(size, kDZAdSizeInvalid)) {
        if (error) *error = DZErrorWithCodeDescription(kDZErrorInvalidArgument, "Invalid ad size.");
        return false;
    }
    if (DZAdSizeIsFluid(size)) return true;
    const gfx::Size resolved = DZAdSizeResolvedCGSize(size, device);
    const double w = std::fabs(resolved.width);
    const double h = std::fabs(resolved.height);
    const gfx::Size bounds = device.standardizedPortraitScreenBounds().size;
    if ((w <= bounds.width && h <= bounds.height) || (w <= bounds.height && h <= bounds.width))
        return true;
    if (error) {
        *error = DZErrorWithCodeDescription(
            kDZErrorInvalidArgument,
            core::format("Not enough space to show ad with custom size, %@. Please use a size "
                         "that fits the current screen bounds of %@.",
                         gfx::stringFromSize(resolved), gfx::stringFromSize(bounds)));
    }
    return false;
}

bool DZAdSizeIsUsable(const DZAdSize& size) {
    return DZAdSizeValidate(size, nullptr);
}

std::string DZAdSizeDescription(const DZAdSize& size) {
    for (const auto& [named, name] : kNamedSizes) {
        if (DZAdSizesEqual(named, size)) return name;
    }
    if (DZAdSizeIsFullWidth(size))
        return core::format("Full width DZAdSize with height: %f", size.size.height);
    if (size.flags & kDZAdSizeFlagCustom)
        return core::format("Custom DZAdSize: %@", gfx::stringFromSize(size.size));
    if (DZAdSizeIsFluid(size))
        return core::format("Fluid DZAdSize: %@", gfx::stringFromSize(size.size));
    return core::format("DZAdSize: %@, %lx", gfx::stringFromSize(size.size), size.flags);
}

DZBoxedValue DZAdSizeBoxedValue(const DZAdSize& size) {
    DZBoxedValue boxed{std::string(kDZAdSizeTypeEncoding), core::Data(3 * 8)};
    std::memcpy(boxed.bytes.data(), &size.size.width, 8);
    std::memcpy(boxed.bytes.data() + 8, &size.size.height, 8);
    std::memcpy(boxed.bytes.data() + 16, &size.flags, 8);
    return boxed;
}

DZAdSize DZAdSizeUnboxedValue(const std::optional<DZBoxedValue>& value) {
    DZAdSize size = kDZAdSizeInvalid;
    if (!value || value->typeEncoding != kDZAdSizeTypeEncoding || value->bytes.size() != 3 * 8)
        return size;
    std::memcpy(&size.size.width, value->bytes.data(), 8);
    std::memcpy(&size.size.height, value->bytes.data() + 8, 8);
    std::memcpy(&size.flags, value->bytes.data() + 16, 8);
    return size;
}

DZAdSize DZAdSizeFluidWithCGSize(gfx::Size size) {
    return {size, kDZAdSizeFlagFluid};
}

gfx::Size DZAdSizeRequestString(std::string_view text) {
    std::string braced = "{";
    for (const char c : text) braced += (c == 'x') ? ',' : c;
    braced += "}";
    const gfx::Size size = gfx::sizeFromString(braced);
    // A server's size is whole points, none negative or beyond reason;
    // anything else is no size.
    for (const double side : {size.width, size.height}) {
        if (!(side >= 0 && side <= kDZAdSizeMaximumRequestDimension) || std::trunc(side) != side)
            return {};
    }
    return size;
}

}  // namespace ads
