#include "ads/foundation/DZColorUtilities.h"

#include <algorithm>

namespace ads {

namespace {

bool isSkipped(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == '#';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::uint32_t componentByte(double component) {
    if (!(component > 0)) return 0;  // NaN too
    return static_cast<std::uint32_t>(std::clamp(component, 0.0, 1.0) * 255.0);
}

}  // namespace

std::optional<gfx::Color> DZColorFromHexString(std::optional<std::string_view> text) {
    if (!text) return std::nullopt;
    size_t i = 0;
    while (i < text->size() && isSkipped((*text)[i])) ++i;
    std::uint32_t value = 0;
    bool any = false;
    for (; i < text->size() && hexDigit((*text)[i]) >= 0; ++i) {
        value = value << 4 | static_cast<std::uint32_t>(hexDigit((*text)[i]));
        any = true;
    }
    if (!any) return std::nullopt;
    return DZColorFromRGBValue(value);
}

gfx::Color DZColorFromRGBValue(std::uint32_t value) {
    return {((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0, (value & 0xFF) / 255.0,
            1.0};
}

std::uint32_t DZRGBAValueOfColor(std::optional<gfx::Color> color) {
    if (!color) return 0;
    return componentByte(color->red) << 24 | componentByte(color->green) << 16 |
           componentByte(color->blue) << 8 | componentByte(color->alpha);
}

}  // namespace ads
