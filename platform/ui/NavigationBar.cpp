#include "ui/NavigationBar.h"

#include <algorithm>

#include "gfx/Canvas.h"
#include "gfx/TextLayout.h"

namespace ui {

namespace {

constexpr double kTitleMargin = 60;

}  // namespace

NavigationBar::NavigationBar(gfx::Rect frame) : View(frame) {
    setBackgroundColor(gfx::Color{0.97, 0.97, 0.97, 0.82});
}

void NavigationBar::draw(gfx::Canvas& canvas, const gfx::Rect&) const {
    const gfx::Rect area = bounds();
    canvas.strokeLine({area.minX(), area.maxY() - 0.25}, {area.maxX(), area.maxY() - 0.25},
                      gfx::Color::black().withAlpha(0.3), 0.5);
    const std::string text = title();
    if (text.empty()) return;
    gfx::TextStyle style;
    style.font = gfx::Font::system(17, gfx::FontWeight::Semibold);
    style.paragraph.alignment = gfx::TextAlignment::Center;
    style.paragraph.lineBreakMode = gfx::LineBreakMode::TruncateTail;
    style.paragraph.numberOfLines = 1;
    const double width = std::max(0.0, area.width() - 2 * kTitleMargin);
    const gfx::TextLayout layout(text, style, width);
    canvas.drawText(layout, {area.minX() + kTitleMargin, area.midY() - layout.size().height / 2});
}

}  // namespace ui
