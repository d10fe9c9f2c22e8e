#pragma once
// How a TextLayout sets its text: the base font and colour, the paragraph
// rules, and runs that give parts of the text their own font or colour.

#include <cstddef>
#include <optional>

#include "gfx/Color.h"
#include "gfx/Font.h"

namespace gfx {

enum class TextAlignment { Left, Center, Right, Justified };

// Wrapping needs a width; without one every paragraph is one line.
enum class LineBreakMode {
    WordWrap,        // between words; a word longer than the line breaks anywhere
    CharWrap,        // between any two characters
    Clip,            // as WordWrap, but one line when numberOfLines is 1; cut at the width
    TruncateTail,    // as WordWrap; the last line shown ends in an ellipsis if text is left
    TruncateHead,    // every paragraph on one line, with an ellipsis at its start
    TruncateMiddle,  // every paragraph on one line, with an ellipsis in its middle
};

struct ParagraphStyle {
    TextAlignment alignment = TextAlignment::Left;
    // Extra points between lines, and between paragraphs on top of that.
    double lineSpacing = 0;
    double paragraphSpacing = 0;
    // Indent of the first line of every paragraph.
    double firstLineHeadIndent = 0;
    LineBreakMode lineBreakMode = LineBreakMode::WordWrap;
    // 0: unlimited. Lines past the limit are neither measured nor drawn.
    int numberOfLines = 0;

    friend bool operator==(const ParagraphStyle&, const ParagraphStyle&) = default;
};

struct TextStyle {
    Font font;
    Color color = Color::black();
    ParagraphStyle paragraph;

    friend bool operator==(const TextStyle&, const TextStyle&) = default;
};

// A range of the text, in UTF-8 bytes, with its own font and/or colour.
// Ranges are clipped to the text and widened to whole characters.
struct TextRun {
    size_t start = 0;
    size_t length = 0;
    std::optional<Font> font;
    std::optional<Color> color;

    friend bool operator==(const TextRun&, const TextRun&) = default;
};

}  // namespace gfx
