#include "gfx/GeometryText.h"

#include <charconv>
#include <optional>

#include "core/StringFormat.h"

namespace gfx {

namespace {

void skipSpaces(std::string_view& text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
}

bool consume(std::string_view& text, char c) {
    skipSpaces(text);
    if (text.empty() || text.front() != c) return false;
    text.remove_prefix(1);
    return true;
}

std::optional<double> readNumber(std::string_view& text) {
    skipSpaces(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc()) return std::nullopt;
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    return value;
}

}  // namespace

std::string stringFromSize(Size size) {
    return core::format("{%g, %g}", size.width, size.height);
}

Size sizeFromString(std::string_view text) {
    if (!consume(text, '{')) return {};
    const auto width = readNumber(text);
    if (!width || !consume(text, ',')) return {};
    const auto height = readNumber(text);
    if (!height || !consume(text, '}')) return {};
    skipSpaces(text);
    if (!text.empty()) return {};
    return {*width, *height};
}

}  // namespace gfx
