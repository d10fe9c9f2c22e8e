#pragma once
// Colours read back from the tool's PNGs: RGB as 0xRRGGBB, its "#rrggbb"
// text, and a per-channel comparison; and the tool's progress lines.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gfx/Color.h"

namespace tools {

inline void say(const std::string& line) {
    std::printf("vantor: %s\n", line.c_str());
    std::fflush(stdout);
}

inline std::string hex(unsigned rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", rgb & 0xffffffu);
    return text;
}

inline unsigned rgbOf(const gfx::Color& color) {
    const auto channel = [](double value) {
        return static_cast<unsigned>(std::lround(std::clamp(value, 0.0, 1.0) * 255));
    };
    return channel(color.red) << 16 | channel(color.green) << 8 | channel(color.blue);
}

// Whether no channel of drawn strays from wanted's by more than tolerance.
inline bool near(unsigned drawn, unsigned wanted, int tolerance) {
    for (const int shift : {16, 8, 0}) {
        const int a = static_cast<int>((drawn >> shift) & 0xff);
        const int b = static_cast<int>((wanted >> shift) & 0xff);
        if (std::abs(a - b) > tolerance) return false;
    }
    return true;
}

}  // namespace tools
