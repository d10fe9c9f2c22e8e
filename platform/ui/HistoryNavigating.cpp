#include "ui/HistoryNavigating.h"

#include "gfx/Canvas.h"

namespace ui {

namespace {

gfx::ImagePtr arrow(bool pointingLeft) {
    constexpr double kScale = 2.0;
    const gfx::Color ink{0.2, 0.2, 0.2, 1};
    return gfx::Image::draw({27, 27}, kScale, [pointingLeft, ink](gfx::Canvas& canvas) {
        const double tip = pointingLeft ? 9 : 18;
        const double tail = pointingLeft ? 17 : 10;
        canvas.strokeLine({tail, 6}, {tip, 13.5}, ink, 2.5);
        canvas.strokeLine({tip, 13.5}, {tail, 21}, ink, 2.5);
    });
}

}  // namespace

gfx::ImagePtr historyArrowImage(HistoryStep step) {
    static const gfx::ImagePtr back = arrow(true);
    static const gfx::ImagePtr forward = arrow(false);
    return step == HistoryStep::Back ? back : forward;
}

}  // namespace ui
