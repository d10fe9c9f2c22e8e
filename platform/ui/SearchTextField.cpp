#include "ui/SearchTextField.h"

#include <algorithm>

#include "gfx/Canvas.h"
#include "gfx/TextLayout.h"

namespace ui {

SearchTextField::SearchTextField(gfx::Rect frame) : View(frame) {}

void SearchTextField::setText(std::string text) {
    text_ = std::move(text);
    setNeedsDisplay();
}

void SearchTextField::setPlaceholder(std::string placeholder) {
    placeholder_ = std::move(placeholder);
    setNeedsDisplay();
}

void SearchTextField::setEditing(bool editing) {
    editing_ = editing;
    setNeedsDisplay();
}

void SearchTextField::setFieldColor(const gfx::Color& color) {
    fieldColor_ = color;
    setNeedsDisplay();
}

void SearchTextField::setTextColor(const gfx::Color& color) {
    textColor_ = color;
    setNeedsDisplay();
}

void SearchTextField::setCaretColor(const gfx::Color& color) {
    caretColor_ = color;
    setNeedsDisplay();
}

void SearchTextField::drawMagnifier(gfx::Canvas& canvas, gfx::Point centre) const {
    constexpr double kRadius = 5;
    const gfx::Rect lens{centre.x - kRadius, centre.y - kRadius - 1, 2 * kRadius, 2 * kRadius};
    canvas.strokeRoundedRect(lens, kRadius, kPlaceholderColor, 1.5);
    canvas.strokeLine({lens.maxX() - 1.5, lens.maxY() - 1.5}, {lens.maxX() + 3, lens.maxY() + 3},
                      kPlaceholderColor, 2);
}

void SearchTextField::draw(gfx::Canvas& canvas, const gfx::Rect&) const {
    const gfx::Rect b = bounds();
    if (b.isEmpty()) return;
    canvas.fillRoundedRect(b, kCornerRadius, fieldColor_);
    drawMagnifier(canvas, {b.minX() + kTextInset / 2, b.midY()});

    const double available = std::max(0.0, b.width() - kTextInset - kCornerRadius);
    const bool empty = text_.empty();
    gfx::TextStyle style;
    style.font = font_;
    style.color = empty ? kPlaceholderColor : textColor_;
    style.paragraph.lineBreakMode = gfx::LineBreakMode::TruncateTail;
    style.paragraph.numberOfLines = 1;
    const gfx::TextLayout layout(empty ? placeholder_ : text_, style, available);
    const double lineHeight = std::max(layout.size().height, font_.size * 1.2);
    const double top = b.midY() - lineHeight / 2;
    if (!(empty && placeholder_.empty())) canvas.drawText(layout, {b.minX() + kTextInset, top});
    if (!editing_) return;
    const double caretX =
        b.minX() + kTextInset + (empty ? 0 : std::min(layout.size().width, available));
    canvas.strokeLine({caretX + 1, top}, {caretX + 1, top + lineHeight}, caretColor_, 2);
}

}  // namespace ui
