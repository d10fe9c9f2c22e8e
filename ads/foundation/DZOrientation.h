#pragma once
// Interface orientations (1 portrait, 2 upside down, 3 landscape right,
// 4 landscape left), their masks (bit 1 << orientation) and the text codes
// ad pages use for them. Pure and any thread, except where noted.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ads {

inline constexpr std::uint64_t kDZOrientationMaskPortrait = 1 << 1;
inline constexpr std::uint64_t kDZOrientationMaskPortraitUpsideDown = 1 << 2;
inline constexpr std::uint64_t kDZOrientationMaskLandscapeRight = 1 << 3;
inline constexpr std::uint64_t kDZOrientationMaskLandscapeLeft = 1 << 4;

// "any" 30, "portrait" 6, "landscape" 24; anything else (case counts) 0.
[[nodiscard]] std::uint64_t
DZInterfaceOrientationMaskFromString(std::optional<std::string_view> text);
// 0 for orientations outside 0...63.
[[nodiscard]] std::uint64_t DZInterfaceOrientationMaskForOrientation(long orientation);
[[nodiscard]] bool DZOrientationMaskContainsOrientation(std::uint64_t mask, long orientation);
[[nodiscard]] bool DZOrientationMaskHasPortraitAndLandscape(std::uint64_t mask);
// "p" for 1 and 2, "l" for 3 and 4.
[[nodiscard]] std::optional<std::string> DZOrientationCodeForOrientation(long orientation);
// With a landscape bit: "any" when a portrait bit is set too, else "l";
// without: "p" when the portrait bit is set; else none.
[[nodiscard]] std::optional<std::string> DZOrientationCodeForMask(std::uint64_t mask);

// What the SDK application object reports about split-screen multitasking
// (false until it installs its answer with DZSetSplitScreenProvider).
[[nodiscard]] bool DZIsSplitScreenEnabled();
void DZSetSplitScreenProvider(std::function<bool()> provider);

// The user-defaults flag
// "/dozuza/ads/view_controller_only_supports_application_orientation".
[[nodiscard]] bool DZViewControllerOnlySupportsApplicationOrientation();

}  // namespace ads
