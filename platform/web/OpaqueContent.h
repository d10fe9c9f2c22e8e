#pragma once
// Images and stylesheets served to a page in a form the engine shows but
// keeps from the page's script, for content the engine would otherwise take
// for the page's own: a routed load is judged by the URL the page asked for,
// so content that redirects brought from another origin needs this form.
//  - An image becomes an SVG image of its size that draws it and holds an
//    empty foreignObject, which the engine never lets a canvas read (an SVG
//    image just gets the foreignObject). Raster images are PNG, JPEG, GIF,
//    WebP or BMP: of other kinds the size is not known, and they have no
//    such form.
//  - A stylesheet becomes one that imports it from where it came from: the
//    engine then fetches it itself from that origin, so its rules are that
//    origin's (unreadable) and its relative URLs resolve there.

#include <optional>
#include <string>

#include "core/HTTPURLResponse.h"
#include "core/Value.h"

namespace web {

struct OpaqueContent {
    std::string mimeType;
    core::Data body;

    enum class Use { image, style, other };
    // What a load is for: its destination as its request named it
    // (Sec-Fetch-Dest), else, when it named none, as the response's media
    // type tells.
    [[nodiscard]] static Use useOf(const std::string& destination,
                                   const core::HTTPURLResponse& response);
    // The form of an image or stylesheet; nullopt when it has none (and for
    // other uses).
    [[nodiscard]] static std::optional<OpaqueContent>
    of(Use use, const core::HTTPURLResponse& response, const core::Data& body);

    struct PixelSize {
        int width = 0;
        int height = 0;
    };
    // The size a raster image's header gives; nullopt for other bytes.
    [[nodiscard]] static std::optional<PixelSize> rasterSize(const core::Data& bytes);
};

}  // namespace web
