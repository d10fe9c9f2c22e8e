#pragma once
// Colours of ad content from hex text and 32-bit values, and back. Pure;
// any thread.

#include <cstdint>
#include <optional>
#include <string_view>

#include "gfx/Color.h"

namespace ads {

// "#RRGGBB" (white space, new lines and "#" before the digits are
// skipped; the longest run of hex digits is read and its low 32 bits
// used): an opaque colour; none when no hex digit can be read.
[[nodiscard]] std::optional<gfx::Color> DZColorFromHexString(std::optional<std::string_view> text);
// Red bits 16-23, green 8-15, blue 0-7, alpha 1; bits 24-31 are ignored.
[[nodiscard]] gfx::Color DZColorFromRGBValue(std::uint32_t value);
// 0xRRGGBBAA, each component (clamped to 0...1) times 255, truncated; 0
// without a colour.
[[nodiscard]] std::uint32_t DZRGBAValueOfColor(std::optional<gfx::Color> color);

}  // namespace ads
