#pragma once
// Interface orientations (how the screen's content is turned) and masks of
// them, one bit per orientation: bit = 1 << orientation.

namespace ui {

inline constexpr long kOrientationPortrait = 1;
inline constexpr long kOrientationPortraitUpsideDown = 2;
inline constexpr long kOrientationLandscapeRight = 3;
inline constexpr long kOrientationLandscapeLeft = 4;

inline constexpr unsigned long kOrientationMaskPortrait = 1UL << kOrientationPortrait;
inline constexpr unsigned long kOrientationMaskPortraitUpsideDown =
    1UL << kOrientationPortraitUpsideDown;
inline constexpr unsigned long kOrientationMaskLandscapeRight = 1UL << kOrientationLandscapeRight;
inline constexpr unsigned long kOrientationMaskLandscapeLeft = 1UL << kOrientationLandscapeLeft;
inline constexpr unsigned long kOrientationMaskLandscape =
    kOrientationMaskLandscapeRight | kOrientationMaskLandscapeLeft;
inline constexpr unsigned long kOrientationMaskAll =
    kOrientationMaskPortrait | kOrientationMaskPortraitUpsideDown | kOrientationMaskLandscape;
inline constexpr unsigned long kOrientationMaskAllButUpsideDown =
    kOrientationMaskAll & ~kOrientationMaskPortraitUpsideDown;

[[nodiscard]] constexpr bool isValidOrientation(long orientation) {
    return orientation >= kOrientationPortrait && orientation <= kOrientationLandscapeLeft;
}
[[nodiscard]] constexpr bool isLandscapeOrientation(long orientation) {
    return orientation == kOrientationLandscapeRight || orientation == kOrientationLandscapeLeft;
}
[[nodiscard]] constexpr unsigned long orientationMask(long orientation) {
    return isValidOrientation(orientation) ? 1UL << orientation : 0;
}
// The first orientation (in the order 1 to 4) the mask holds; 0 for none.
[[nodiscard]] constexpr long firstOrientationInMask(unsigned long mask) {
    for (long orientation = kOrientationPortrait; orientation <= kOrientationLandscapeLeft;
         ++orientation) {
        if (mask & orientationMask(orientation)) return orientation;
    }
    return 0;
}

}  // namespace ui
