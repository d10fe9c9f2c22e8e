#pragma once
// The rounded field inside a search bar: a magnifier glyph, then the text
// (or the placeholder in grey when there is none) on one line, truncated at
// the end, with a caret after it while editing. It only draws; the search
// bar owns the text and the keyboard, and touches on the field go on to
// the bar. Made with std::make_shared. Main thread only.

#include <string>

#include "gfx/Color.h"
#include "gfx/Font.h"
#include "ui/View.h"

namespace ui {

class SearchTextField : public View {
public:
    static constexpr double kCornerRadius = 10;
    static constexpr double kTextInset = 30;
    static constexpr gfx::Color kPlaceholderColor{0.56, 0.56, 0.58, 1};

    explicit SearchTextField(gfx::Rect frame = {});

    [[nodiscard]] const std::string& text() const { return text_; }
    void setText(std::string text);
    [[nodiscard]] const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(std::string placeholder);
    [[nodiscard]] bool isEditing() const { return editing_; }
    void setEditing(bool editing);
    [[nodiscard]] gfx::Color fieldColor() const { return fieldColor_; }
    void setFieldColor(const gfx::Color& color);
    [[nodiscard]] gfx::Color textColor() const { return textColor_; }
    void setTextColor(const gfx::Color& color);
    [[nodiscard]] gfx::Color caretColor() const { return caretColor_; }
    void setCaretColor(const gfx::Color& color);
    [[nodiscard]] const gfx::Font& font() const { return font_; }

    void draw(gfx::Canvas& canvas, const gfx::Rect& rect) const override;

private:
    void drawMagnifier(gfx::Canvas& canvas, gfx::Point centre) const;

    std::string text_;
    std::string placeholder_;
    bool editing_ = false;
    gfx::Color fieldColor_ = gfx::Color::white();
    gfx::Color textColor_ = gfx::Color::black();
    gfx::Color caretColor_{0, 0.478, 1, 1};
    gfx::Font font_ = gfx::Font::system(15);
};

}  // namespace ui
