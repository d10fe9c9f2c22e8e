#include "ui/Label.h"

#include <algorithm>
#include <cmath>

#include "gfx/Canvas.h"
#include "gfx/TextLayout.h"

namespace ui {

Label::Label(gfx::Rect frame) : View(frame) {
    setUserInteractionEnabled(false);
}

void Label::setText(std::string text) {
    if (text_ == text) return;
    text_ = std::move(text);
    contentDidChange();
}

void Label::setFont(const gfx::Font& font) {
    if (font_ == font) return;
    font_ = font;
    contentDidChange();
}

void Label::setTextColor(const gfx::Color& color) {
    textColor_ = color;
    setNeedsDisplay();
}

void Label::setTextAlignment(gfx::TextAlignment alignment) {
    alignment_ = alignment;
    setNeedsDisplay();
}

void Label::setNumberOfLines(int lines) {
    if (numberOfLines_ == lines) return;
    numberOfLines_ = std::max(0, lines);
    contentDidChange();
}

void Label::setLineBreakMode(gfx::LineBreakMode mode) {
    if (lineBreakMode_ == mode) return;
    lineBreakMode_ = mode;
    contentDidChange();
}

void Label::setParagraphStyle(std::optional<gfx::ParagraphStyle> style) {
    paragraphStyle_ = std::move(style);
    contentDidChange();
}

void Label::setShadow(std::optional<gfx::Shadow> shadow) {
    shadow_ = shadow;
    setNeedsDisplay();
}

void Label::setAdjustsFontSizeToFitWidth(bool adjusts) {
    if (adjustsFontSize_ == adjusts) return;
    adjustsFontSize_ = adjusts;
    setNeedsDisplay();
}

void Label::setMinimumScaleFactor(double factor) {
    factor = std::isfinite(factor) ? std::clamp(factor, 0.0, 1.0) : 0.0;
    if (minimumScaleFactor_ == factor) return;
    minimumScaleFactor_ = factor;
    setNeedsDisplay();
}

void Label::contentDidChange() {
    setNeedsDisplay();
    if (auto parent = superview()) parent->setNeedsLayout();
}

gfx::TextStyle Label::textStyle(int lines) const {
    return textStyle(lines, font_);
}

gfx::TextStyle Label::textStyle(int lines, const gfx::Font& font) const {
    gfx::TextStyle style;
    style.font = font;
    style.color = textColor_;
    if (paragraphStyle_) style.paragraph = *paragraphStyle_;
    style.paragraph.alignment = alignment_;
    style.paragraph.lineBreakMode = lineBreakMode_;
    style.paragraph.numberOfLines = lines;
    return style;
}

gfx::Size Label::sizeThatFits(gfx::Size size) const {
    if (text_.empty()) return {};
    const gfx::TextLayout layout(text_, textStyle(numberOfLines_), size.width);
    const gfx::Size fitted = layout.size();
    return {std::ceil(fitted.width), std::ceil(fitted.height)};
}

gfx::Size Label::intrinsicContentSize() const {
    return sizeThatFits({});
}

gfx::Font Label::fittedFont() const {
    const double width = bounds().width();
    if (!adjustsFontSize_ || numberOfLines_ != 1 || text_.empty() || width <= 0 ||
        minimumScaleFactor_ <= 0 || minimumScaleFactor_ >= 1) {
        return font_;
    }
    const auto naturalWidth = [&](const gfx::Font& font) {
        return gfx::TextLayout(text_, textStyle(1, font)).size().width;
    };
    const double natural = naturalWidth(font_);
    if (natural <= width) return font_;
    const double smallest = font_.size * minimumScaleFactor_;
    gfx::Font fitted = font_;
    fitted.size = std::max(smallest, font_.size * width / natural);
    // Glyph widths do not scale exactly with the size: step down until the
    // text fits or the smallest size is reached.
    constexpr double kStep = 0.25;
    while (fitted.size > smallest && naturalWidth(fitted) > width)
        fitted.size = std::max(smallest, fitted.size - kStep);
    return fitted;
}

gfx::TextLayout Label::layoutForBounds() const {
    const gfx::Rect b = bounds();
    const gfx::Font font = fittedFont();
    if (!(font == font_)) return gfx::TextLayout(text_, textStyle(1, font), b.width());
    gfx::TextLayout layout(text_, textStyle(numberOfLines_), b.width());
    if (layout.size().height <= b.height() || layout.lineCount() <= 1) return layout;
    const auto& lines = layout.lineRects();
    const auto fitting = std::count_if(lines.begin(), lines.end(), [&](const gfx::Rect& line) {
        return line.maxY() <= b.height() + 0.5;
    });
    return gfx::TextLayout(text_, textStyle(std::max(1, static_cast<int>(fitting))), b.width());
}

void Label::draw(gfx::Canvas& canvas, const gfx::Rect&) const {
    if (text_.empty() || bounds().isEmpty()) return;
    const gfx::TextLayout layout = layoutForBounds();
    const gfx::Rect b = bounds();
    const double y = b.minY() + (b.height() - layout.size().height) / 2;
    canvas.drawText(layout, {b.minX(), y});
}

}  // namespace ui
