#pragma once
// An RGBA colour with straight (not premultiplied) components in 0...1, and
// its conversions to and from the premultiplied 32-bit ARGB pixels of
// gfx::Image.

#include <cstdint>

namespace gfx {

struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 0;

    // 0xRRGGBB with the given alpha.
    [[nodiscard]] static Color fromRGB(std::uint32_t rgb, double alpha = 1);
    [[nodiscard]] static Color fromPremultipliedARGB(std::uint32_t pixel);
    [[nodiscard]] static Color white() { return {1, 1, 1, 1}; }
    [[nodiscard]] static Color black() { return {0, 0, 0, 1}; }
    [[nodiscard]] static Color clear() { return {0, 0, 0, 0}; }

    [[nodiscard]] Color withAlpha(double a) const { return {red, green, blue, a}; }
    // Components clamped to 0...1, premultiplied and rounded to 8 bits.
    [[nodiscard]] std::uint32_t premultipliedARGB() const;

    friend bool operator==(const Color&, const Color&) = default;
};

}  // namespace gfx
