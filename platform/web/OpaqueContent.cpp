#include "web/OpaqueContent.h"

#include <glib.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace web {

namespace {

constexpr const char* kSVGType = "image/svg+xml";
// Present anywhere in an SVG image, it keeps a canvas that draws the image
// from being read.
constexpr const char* kUnreadableMark =
    "<foreignObject xmlns=\"http://www.w3.org/2000/svg\" width=\"0\" height=\"0\"/>";

std::uint32_t be16(const core::Data& bytes, size_t at) {
    return std::uint32_t(bytes[at]) << 8 | bytes[at + 1];
}

std::uint32_t be32(const core::Data& bytes, size_t at) {
    return be16(bytes, at) << 16 | be16(bytes, at + 2);
}

std::uint32_t le16(const core::Data& bytes, size_t at) {
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8;
}

std::uint32_t le24(const core::Data& bytes, size_t at) {
    return le16(bytes, at) | std::uint32_t(bytes[at + 2]) << 16;
}

std::uint32_t le32(const core::Data& bytes, size_t at) {
    return le16(bytes, at) | le16(bytes, at + 2) << 16;
}

bool has(const core::Data& bytes, size_t at, std::string_view text) {
    if (bytes.size() < at + text.size()) return false;
    return std::string_view(reinterpret_cast<const char*>(bytes.data()) + at, text.size()) == text;
}

using PixelSize = OpaqueContent::PixelSize;

std::optional<PixelSize> sized(std::uint32_t width, std::uint32_t height) {
    if (width == 0 || height == 0 || width > (1u << 30) || height > (1u << 30)) return std::nullopt;
    return PixelSize{int(width), int(height)};
}

std::optional<PixelSize> jpegSize(const core::Data& bytes) {
    size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (bytes[at] != 0xFF) return std::nullopt;
        const std::uint8_t marker = bytes[at + 1];
        if (marker == 0xFF) {  // fill
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9)) {  // no length
            at += 2;
            continue;
        }
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (at + 9 > bytes.size()) return std::nullopt;
            return sized(be16(bytes, at + 7), be16(bytes, at + 5));
        }
        at += 2 + be16(bytes, at + 2);
    }
    return std::nullopt;
}

std::optional<PixelSize> webpSize(const core::Data& bytes) {
    if (has(bytes, 12, "VP8 ") && bytes.size() >= 30 && bytes[23] == 0x9D && bytes[24] == 0x01 &&
        bytes[25] == 0x2A)
        return sized(le16(bytes, 26) & 0x3FFF, le16(bytes, 28) & 0x3FFF);
    if (has(bytes, 12, "VP8L") && bytes.size() >= 25 && bytes[20] == 0x2F) {
        const std::uint32_t bits = le32(bytes, 21);
        return sized((bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1);
    }
    if (has(bytes, 12, "VP8X") && bytes.size() >= 30)
        return sized(le24(bytes, 24) + 1, le24(bytes, 27) + 1);
    return std::nullopt;
}

std::optional<PixelSize> bmpSize(const core::Data& bytes) {
    if (bytes.size() < 26) return std::nullopt;
    if (le32(bytes, 14) == 12) return sized(le16(bytes, 18), le16(bytes, 20));  // the oldest header
    const auto height = std::int32_t(le32(bytes, 22));  // negative: rows from the top
    return sized(le32(bytes, 18), std::uint32_t(std::abs(std::int64_t(height))));
}

// The raster kind of the bytes, with its size.
std::optional<std::pair<const char*, PixelSize>> raster(const core::Data& bytes) {
    std::optional<PixelSize> size;
    const char* type = nullptr;
    if (has(bytes, 0, "\x89PNG\r\n\x1a\n") && has(bytes, 12, "IHDR") && bytes.size() >= 24) {
        type = "image/png";
        size = sized(be32(bytes, 16), be32(bytes, 20));
    } else if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
        type = "image/jpeg";
        size = jpegSize(bytes);
    } else if ((has(bytes, 0, "GIF87a") || has(bytes, 0, "GIF89a")) && bytes.size() >= 10) {
        type = "image/gif";
        size = sized(le16(bytes, 6), le16(bytes, 8));
    } else if (has(bytes, 0, "RIFF") && has(bytes, 8, "WEBP")) {
        type = "image/webp";
        size = webpSize(bytes);
    } else if (has(bytes, 0, "BM")) {
        type = "image/bmp";
        size = bmpSize(bytes);
    }
    if (!size) return std::nullopt;
    return std::pair{type, *size};
}

core::Data dataOf(const std::string& text) {
    return core::Data(text.begin(), text.end());
}

std::optional<OpaqueContent> svgImage(const core::Data& bytes) {
    const std::string text(bytes.begin(), bytes.end());
    const size_t root = text.find("<svg");
    if (root == std::string::npos) return std::nullopt;
    // The end of the root's start tag, past quoted attribute values.
    char quote = 0;
    size_t end = root + 4;
    for (; end < text.size(); ++end) {
        const char c = text[end];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            break;
        }
    }
    if (end >= text.size()) return std::nullopt;
    std::string marked;
    if (text[end - 1] == '/') {  // <svg .../>: given content and an end tag
        marked = text.substr(0, end - 1) + ">" + kUnreadableMark + "</svg>" + text.substr(end + 1);
    } else {
        marked = text.substr(0, end + 1) + kUnreadableMark + text.substr(end + 1);
    }
    return OpaqueContent{kSVGType, dataOf(marked)};
}

std::optional<OpaqueContent> imageOf(const core::HTTPURLResponse& response,
                                     const core::Data& bytes) {
    if (response.mimeType() == kSVGType) return svgImage(bytes);
    const auto found = raster(bytes);
    if (!found) return std::nullopt;
    const auto [type, size] = *found;
    gchar* encoded = g_base64_encode(bytes.data(), bytes.size());
    const std::string width = std::to_string(size.width);
    const std::string height = std::to_string(size.height);
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + width +
                      "\" height=\"" + height + "\" viewBox=\"0 0 " + width + " " + height + "\">" +
                      kUnreadableMark + "<image width=\"" + width + "\" height=\"" + height +
                      "\" preserveAspectRatio=\"none\" href=\"data:" + type + ";base64,";
    svg += encoded;
    svg += "\"/></svg>";
    g_free(encoded);
    return OpaqueContent{kSVGType, dataOf(svg)};
}

OpaqueContent styleOf(const core::HTTPURLResponse& response) {
    // URL text is strict (RFC 3986): no quote, backslash or white space
    // that could end the string early.
    const std::string url = response.url().absoluteString();
    return OpaqueContent{"text/css; charset=utf-8", dataOf("@import url(\"" + url + "\");\n")};
}

}  // namespace

OpaqueContent::Use OpaqueContent::useOf(const std::string& destination,
                                        const core::HTTPURLResponse& response) {
    if (destination == "image") return Use::image;
    if (destination == "style") return Use::style;
    if (!destination.empty()) return Use::other;
    const std::string type = response.mimeType().value_or("");
    if (type.rfind("image/", 0) == 0) return Use::image;
    return type == "text/css" ? Use::style : Use::other;
}

std::optional<OpaqueContent> OpaqueContent::of(Use use, const core::HTTPURLResponse& response,
                                               const core::Data& body) {
    switch (use) {
    case Use::image:
        return imageOf(response, body);
    case Use::style:
        return styleOf(response);
    case Use::other:
        break;
    }
    return std::nullopt;
}

std::optional<OpaqueContent::PixelSize> OpaqueContent::rasterSize(const core::Data& bytes) {
    const auto found = raster(bytes);
    if (!found) return std::nullopt;
    return found->second;
}

}  // namespace web
