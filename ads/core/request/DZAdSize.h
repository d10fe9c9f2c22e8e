#pragma once
// Ad sizes: a standard size, a custom size, a full-width ("smart") size
// whose width and height come from the screen and the kind of device, or a
// fluid size whose height follows the ad's content. Plain values with free
// functions to compare, resolve on this device, validate, describe, box and
// parse them.
//
// Resolution and validation read the portrait screen bounds and the key
// window size of a DZDevice (the shared one unless given) and the device
// profile's idiom; everything else is pure. Any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ads/core/request/DZError.h"
#include "core/Value.h"
#include "gfx/Geometry.h"

namespace ads {

class DZDevice;

inline constexpr std::uint64_t kDZAdSizeFlagCustom = 0x01;
inline constexpr std::uint64_t kDZAdSizeFlagFullWidth = 0x02;
// With full width on a tablet: automatic height 66 instead of 90.
inline constexpr std::uint64_t kDZAdSizeFlagSkinny = 0x04;
// With full width: the long side of the screen; on a phone height 32.
inline constexpr std::uint64_t kDZAdSizeFlagLandscape = 0x08;
inline constexpr std::uint64_t kDZAdSizeFlagAutoHeight = 0x10;
// Overrides every other bit.
inline constexpr std::uint64_t kDZAdSizeFlagFluid = 0x20;

struct DZAdSize {
    gfx::Size size;
    std::uint64_t flags = 0;
};

inline constexpr DZAdSize kDZAdSizeInvalid{{-1, -1}, 0};
inline constexpr DZAdSize kDZAdSizeBanner{{320, 50}, 0};
inline constexpr DZAdSize kDZAdSizeLargeBanner{{320, 100}, 0};
inline constexpr DZAdSize kDZAdSizeMediumRectangle{{300, 250}, 0};
inline constexpr DZAdSize kDZAdSizeFullBanner{{468, 60}, 0};
inline constexpr DZAdSize kDZAdSizeLeaderboard{{728, 90}, 0};
inline constexpr DZAdSize kDZAdSizeSkyscraper{{120, 600}, 0};
inline constexpr DZAdSize kDZAdSizeSmartBannerPortrait{{0, 0}, 0x12};
inline constexpr DZAdSize kDZAdSizeSmartBannerLandscape{{0, 0}, 0x1A};
inline constexpr DZAdSize kDZAdSizeSmartBannerSkinnyPortrait{{0, 0}, 0x16};
inline constexpr DZAdSize kDZAdSizeSmartBannerSkinnyLandscape{{0, 0}, 0x1E};
inline constexpr DZAdSize kDZAdSizeFluid{{0, 0}, 0x20};

// The type tag of a boxed DZAdSize: width, height, flags.
inline constexpr std::string_view kDZAdSizeTypeEncoding = "{DZAdSize={CGSize=dd}Q}";

// A value boxed with the tag of its type, the way lists of sizes travel.
struct DZBoxedValue {
    std::string typeEncoding;
    core::Data bytes;
};

// The standard size with exactly that width and height (or
// kDZAdSizeInvalid for -1 x -1); else that size as a custom one.
[[nodiscard]] DZAdSize DZAdSizeMatchKnownSize(gfx::Size size);
// Flags, width and height all equal.
[[nodiscard]] bool DZAdSizesEqual(const DZAdSize& a, const DZAdSize& b);
[[nodiscard]] bool DZAdSizeIsFluid(const DZAdSize& size);
[[nodiscard]] bool DZAdSizeIsFullWidth(const DZAdSize& size);
[[nodiscard]] bool DZAdSizeIsAutoHeight(const DZAdSize& size);

// What the ad occupies on this device now; zero for sizes that do not
// resolve (a flags-0 size that is not standard, a full-width size on
// another idiom than phone and pad).
[[nodiscard]] gfx::Size DZAdSizeResolvedCGSize(const DZAdSize& size);
[[nodiscard]] gfx::Size DZAdSizeResolvedCGSize(const DZAdSize& size, const DZDevice& device);
// Whether the size fits the screen in either orientation; when not, and
// error is given, the SDK error 12 that says why.
[[nodiscard]] bool DZAdSizeValidate(const DZAdSize& size, Error* error = nullptr);
[[nodiscard]] bool DZAdSizeValidate(const DZAdSize& size, const DZDevice& device, Error* error);
[[nodiscard]] bool DZAdSizeIsUsable(const DZAdSize& size);

// "kDZAdSizeBanner" for the named sizes; else "Custom DZAdSize: {300, 50}"
// and the like.
[[nodiscard]] std::string DZAdSizeDescription(const DZAdSize& size);
[[nodiscard]] DZBoxedValue DZAdSizeBoxedValue(const DZAdSize& size);
// kDZAdSizeInvalid for nothing or a value of another type.
[[nodiscard]] DZAdSize DZAdSizeUnboxedValue(const std::optional<DZBoxedValue>& value);
[[nodiscard]] DZAdSize DZAdSizeFluidWithCGSize(gfx::Size size);
// "320x50" gives 320 by 50. Text that does not parse, and sides that are
// negative, not whole or above kDZAdSizeMaximumRequestDimension, give zero.
inline constexpr double kDZAdSizeMaximumRequestDimension = 100000;
[[nodiscard]] gfx::Size DZAdSizeRequestString(std::string_view text);

}  // namespace ads
