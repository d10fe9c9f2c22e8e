#pragma once
// A view that shows plain UTF-8 text (never parsed as markup) in one font
// and colour, on up to numberOfLines lines at its width, centred vertically
// in its bounds. Lines that do not fit the height are dropped, the last one
// shown truncated by the line break mode.
//
// A paragraph style adds line spacing, paragraph spacing and a first-line
// indent; alignment, line break mode and the number of lines always come
// from the label's own properties. A shadow follows the glyphs; the
// renderer draws it under the text, within the label's bounds. Labels take
// no touches by default.
//
// A one-line label that adjusts its font size to fit its width draws text
// wider than its bounds in a smaller size of its font, down to the minimum
// scale factor times the size; only below that is the text truncated.
// Main thread only.

#include <optional>
#include <string>

#include "gfx/Color.h"
#include "gfx/Font.h"
#include "gfx/Shadow.h"
#include "gfx/TextStyle.h"
#include "ui/View.h"

namespace gfx {
class TextLayout;
}

namespace ui {

class Label : public View {
public:
    explicit Label(gfx::Rect frame = {});

    [[nodiscard]] const std::string& text() const { return text_; }
    void setText(std::string text);
    [[nodiscard]] const gfx::Font& font() const { return font_; }
    void setFont(const gfx::Font& font);
    [[nodiscard]] gfx::Color textColor() const { return textColor_; }
    void setTextColor(const gfx::Color& color);
    [[nodiscard]] gfx::TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(gfx::TextAlignment alignment);
    // 0: as many lines as the text needs.
    [[nodiscard]] int numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(int lines);
    [[nodiscard]] gfx::LineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(gfx::LineBreakMode mode);
    [[nodiscard]] const std::optional<gfx::ParagraphStyle>& paragraphStyle() const {
        return paragraphStyle_;
    }
    void setParagraphStyle(std::optional<gfx::ParagraphStyle> style);
    [[nodiscard]] const std::optional<gfx::Shadow>& shadow() const { return shadow_; }
    void setShadow(std::optional<gfx::Shadow> shadow);
    [[nodiscard]] bool adjustsFontSizeToFitWidth() const { return adjustsFontSize_; }
    void setAdjustsFontSizeToFitWidth(bool adjusts);
    // The smallest share of the font's size the text may shrink to, from 0
    // to 1; 0 (the default) keeps the font's own size.
    [[nodiscard]] double minimumScaleFactor() const { return minimumScaleFactor_; }
    void setMinimumScaleFactor(double factor);
    // The font the text is drawn in at the present bounds: font(), or a
    // smaller size of it when the text is adjusted to fit.
    [[nodiscard]] gfx::Font fittedFont() const;

    // The text's size laid out within size.width (unconstrained when <= 0),
    // rounded up to whole points; zero for empty text.
    [[nodiscard]] gfx::Size sizeThatFits(gfx::Size size) const override;
    [[nodiscard]] gfx::Size intrinsicContentSize() const override;
    [[nodiscard]] DisplayedText displayedText() const override {
        return {text_, font_, textColor_};
    }
    void draw(gfx::Canvas& canvas, const gfx::Rect& rect) const override;

private:
    // The style the text is set in, for `lines` lines.
    [[nodiscard]] gfx::TextStyle textStyle(int lines) const;
    [[nodiscard]] gfx::TextStyle textStyle(int lines, const gfx::Font& font) const;
    // The layout draw() uses: at the bounds width, limited to the lines
    // that fit the bounds height.
    [[nodiscard]] gfx::TextLayout layoutForBounds() const;
    // The text's size changed: redraw, and let the superview lay out again.
    void contentDidChange();

    std::string text_;
    gfx::Font font_ = gfx::Font::system(17);
    gfx::Color textColor_ = gfx::Color::black();
    gfx::TextAlignment alignment_ = gfx::TextAlignment::Left;
    int numberOfLines_ = 1;
    gfx::LineBreakMode lineBreakMode_ = gfx::LineBreakMode::TruncateTail;
    std::optional<gfx::ParagraphStyle> paragraphStyle_;
    std::optional<gfx::Shadow> shadow_;
    bool adjustsFontSize_ = false;
    double minimumScaleFactor_ = 0;
};

}  // namespace ui
