#pragma once
// TextLayout sets plain UTF-8 text (never parsed as markup: "<b>" is drawn
// as it is) in a style, optionally within a width, and measures it. The
// layout is fixed at construction; Canvas::drawText draws it. Invalid UTF-8
// is drawn with replacement characters.
//
// Any thread: Pango work is serialised by the Fonts lock. Each paragraph
// ('\n' ends one) is set separately, so that paragraph spacing applies.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gfx/Geometry.h"
#include "gfx/TextStyle.h"

typedef struct _cairo cairo_t;

namespace gfx {

class TextLayout {
public:
    // `maxWidth` <= 0 means no width constraint.
    TextLayout(std::string_view text, const TextStyle& style, double maxWidth = 0,
               const std::vector<TextRun>& runs = {});
    ~TextLayout();
    TextLayout(TextLayout&&) noexcept;
    TextLayout& operator=(TextLayout&&) noexcept;

    [[nodiscard]] const std::string& text() const;
    // The width of the widest line shown (with its indent) and the height
    // down to the bottom of the last line shown. Zero for empty text.
    [[nodiscard]] Size size() const;
    // The lines shown (numberOfLines may hide some).
    [[nodiscard]] int lineCount() const;
    // Logical rects of the lines shown, relative to the layout's origin,
    // placed as alignment and indent put them within maxWidth.
    [[nodiscard]] const std::vector<Rect>& lineRects() const;
    // True when lines are hidden or a line was ellipsized.
    [[nodiscard]] bool isTruncated() const;
    // Characters shown for which no installed font has a glyph.
    [[nodiscard]] int unknownGlyphCount() const;
    // Families of the fonts the lines shown use, in order of first use.
    [[nodiscard]] std::vector<std::string> fontFamilies() const;

private:
    friend class Canvas;
    struct Impl;

    void draw(cairo_t* cr, Point origin) const;

    std::unique_ptr<Impl> impl_;
};

}  // namespace gfx
