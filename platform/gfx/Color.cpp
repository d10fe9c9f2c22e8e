#include "gfx/Color.h"

#include <algorithm>
#include <cmath>

namespace gfx {

namespace {
std::uint32_t toByte(double component) {
    return static_cast<std::uint32_t>(std::lround(std::clamp(component, 0.0, 1.0) * 255));
}
}  // namespace

Color Color::fromRGB(std::uint32_t rgb, double alpha) {
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha};
}

Color Color::fromPremultipliedARGB(std::uint32_t pixel) {
    const double a = (pixel >> 24) / 255.0;
    if (a == 0) return clear();
    const auto channel = [&](int shift) {
        return std::min(1.0, ((pixel >> shift) & 0xFF) / 255.0 / a);
    };
    return {channel(16), channel(8), channel(0), a};
}

std::uint32_t Color::premultipliedARGB() const {
    const double a = std::clamp(alpha, 0.0, 1.0);
    const auto channel = [a](double c) { return toByte(std::clamp(c, 0.0, 1.0) * a); };
    return toByte(a) << 24 | channel(red) << 16 | channel(green) << 8 | channel(blue);
}

}  // namespace gfx
