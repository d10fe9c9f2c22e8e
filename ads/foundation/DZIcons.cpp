#include "ads/foundation/DZIcons.h"

#include "gfx/Canvas.h"

namespace ads {

namespace {

constexpr double kIconScale = 2.0;
const gfx::Color kInk{0.2, 0.2, 0.2, 1};

gfx::ImagePtr arrow(bool pointingLeft) {
    return gfx::Image::draw({27, 27}, kIconScale, [pointingLeft](gfx::Canvas& canvas) {
        const double tip = pointingLeft ? 9 : 18;
        const double tail = pointingLeft ? 17 : 10;
        canvas.strokeLine({tail, 6}, {tip, 13.5}, kInk, 2.5);
        canvas.strokeLine({tip, 13.5}, {tail, 21}, kInk, 2.5);
    });
}

}  // namespace

gfx::ImagePtr DZBackButtonImage() {
    static const gfx::ImagePtr image = arrow(true);
    return image;
}

gfx::ImagePtr DZForwardButtonImage() {
    static const gfx::ImagePtr image = arrow(false);
    return image;
}

gfx::ImagePtr DZCloseIconImage() {
    static const gfx::ImagePtr image =
        gfx::Image::draw({25, 25}, kIconScale, [](gfx::Canvas& canvas) {
            canvas.fillEllipse({0.5, 0.5, 24, 24}, gfx::Color{0, 0, 0, 0.6});
            canvas.strokeRoundedRect({0.5, 0.5, 24, 24}, 12, gfx::Color::white(), 1.5);
            canvas.strokeLine({8, 8}, {17, 17}, gfx::Color::white(), 2);
            canvas.strokeLine({17, 8}, {8, 17}, gfx::Color::white(), 2);
        });
    return image;
}

gfx::ImagePtr DZImageByDrawing() {
    return gfx::Image::draw({10, 10}, 1.0, [](gfx::Canvas&) {});
}

}  // namespace ads
