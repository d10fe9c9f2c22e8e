#include "ui/AlertActionRow.h"

#include <algorithm>
#include <utility>

#include "gfx/Canvas.h"
#include "gfx/TextLayout.h"

namespace ui {

namespace {

constexpr double kTitleMargin = 12;
const gfx::Color kHairline = gfx::Color::black().withAlpha(0.2);
const gfx::Color kHighlight = gfx::Color::black().withAlpha(0.08);

}  // namespace

AlertActionRow::AlertActionRow(std::string title, AlertActionStyle style, size_t index)
    : title_(std::move(title)), style_(style), index_(index) {}

void AlertActionRow::setHighlighted(bool highlighted) {
    Control::setHighlighted(highlighted);
    setBackgroundColor(highlighted ? std::optional(kHighlight) : std::nullopt);
}

void AlertActionRow::draw(gfx::Canvas& canvas, const gfx::Rect&) const {
    const gfx::Rect area = bounds();
    canvas.strokeLine({area.minX(), area.minY() + 0.25}, {area.maxX(), area.minY() + 0.25},
                      kHairline, 0.5);
    if (leftHairline_) {
        canvas.strokeLine({area.minX() + 0.25, area.minY()}, {area.minX() + 0.25, area.maxY()},
                          kHairline, 0.5);
    }
    gfx::TextStyle style;
    style.font =
        gfx::Font::system(17, style_ == AlertActionStyle::Cancel ? gfx::FontWeight::Semibold
                                                                 : gfx::FontWeight::Regular);
    style.color = style_ == AlertActionStyle::Destructive ? gfx::Color::fromRGB(0xFF3B30)
                                                          : gfx::Color::fromRGB(0x007AFF);
    style.paragraph.alignment = gfx::TextAlignment::Center;
    style.paragraph.lineBreakMode = gfx::LineBreakMode::TruncateMiddle;
    const double width = std::max(0.0, area.width() - 2 * kTitleMargin);
    const gfx::TextLayout layout(title_, style, width);
    canvas.drawText(layout, {area.minX() + kTitleMargin, area.midY() - layout.size().height / 2});
}

}  // namespace ui
