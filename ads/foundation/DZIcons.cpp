#include "ads/foundation/DZIcons.h"

#include "gfx/Canvas.h"
#include "ui/HistoryNavigating.h"

namespace ads {

namespace {

constexpr double kIconScale = 2.0;

}  // namespace

gfx::ImagePtr DZBackButtonImage() {
    return ui::historyArrowImage(ui::HistoryStep::Back);
}

gfx::ImagePtr DZForwardButtonImage() {
    return ui::historyArrowImage(ui::HistoryStep::Forward);
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
