#include "gfx/TextLayout.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <climits>

#include "gfx/Fonts.h"

namespace gfx {

namespace {

double points(int pangoUnits) {
    return double(pangoUnits) / PANGO_SCALE;
}
int pangoUnits(double points) {
    return static_cast<int>(points * PANGO_SCALE);
}

std::string validUtf8(std::string_view text) {
    if (g_utf8_validate_len(text.data(), text.size(), nullptr)) return std::string(text);
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    std::string result(valid);
    g_free(valid);
    return result;
}

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

struct ByteRange {
    size_t start;
    size_t end;
};

// [start, end) of each paragraph, without its '\n' or "\r\n".
std::vector<ByteRange> paragraphRanges(const std::string& text) {
    std::vector<ByteRange> ranges;
    if (text.empty()) return ranges;
    size_t start = 0;
    while (true) {
        const size_t newline = text.find('\n', start);
        size_t end = newline == std::string::npos ? text.size() : newline;
        if (end > start && text[end - 1] == '\r') --end;
        ranges.push_back({start, end});
        if (newline == std::string::npos) break;
        start = newline + 1;
    }
    return ranges;
}

// The run's range clipped to the text and widened to whole characters.
ByteRange runRange(const TextRun& run, const std::string& text) {
    size_t start = std::min(run.start, text.size());
    size_t end = run.length > text.size() - start ? text.size() : start + run.length;
    while (start > 0 && isContinuationByte(text[start])) --start;
    while (end < text.size() && isContinuationByte(text[end])) ++end;
    return {start, end};
}

guint16 colorUnit(double component) {
    return static_cast<guint16>(std::clamp(component, 0.0, 1.0) * 65535 + 0.5);
}

PangoAlignment pangoAlignment(TextAlignment alignment) {
    switch (alignment) {
        case TextAlignment::Center:
            return PANGO_ALIGN_CENTER;
        case TextAlignment::Right:
            return PANGO_ALIGN_RIGHT;
        case TextAlignment::Left:
        case TextAlignment::Justified:
            return PANGO_ALIGN_LEFT;
    }
    return PANGO_ALIGN_LEFT;
}

}  // namespace

struct TextLayout::Impl {
    struct Paragraph {
        PangoLayout* layout;
        Point offset;        // of the Pango layout from the TextLayout's origin
        double shownHeight;  // down to the bottom of the last line shown
        bool clipped;        // lines hidden or cut at the width
    };

    std::string text;
    TextStyle style;
    double maxWidth;
    PangoContext* context = nullptr;
    std::vector<Paragraph> paragraphs;
    std::vector<Rect> lineRects;
    Size size;
    bool truncated = false;

    // Pango attributes for the parts of `runs` inside `paragraph`.
    static PangoAttrList* runAttributes(const std::vector<TextRun>& runs, const std::string& text,
                                        ByteRange paragraph) {
        PangoAttrList* list = pango_attr_list_new();
        for (const TextRun& run : runs) {
            const ByteRange range = runRange(run, text);
            const size_t start = std::max(range.start, paragraph.start);
            const size_t end = std::min(range.end, paragraph.end);
            if (start >= end) continue;
            const auto add = [&](PangoAttribute* attribute) {
                attribute->start_index = static_cast<guint>(start - paragraph.start);
                attribute->end_index = static_cast<guint>(end - paragraph.start);
                pango_attr_list_insert(list, attribute);
            };
            if (run.font) {
                PangoFontDescription* description = Fonts::createDescription(*run.font);
                add(pango_attr_font_desc_new(description));
                pango_font_description_free(description);
            }
            if (run.color) {
                const Color& c = *run.color;
                add(pango_attr_foreground_new(colorUnit(c.red), colorUnit(c.green),
                                              colorUnit(c.blue)));
                // Pango reads an alpha of 0 as "not set".
                add(pango_attr_foreground_alpha_new(std::max<guint16>(1, colorUnit(c.alpha))));
            }
        }
        return list;
    }

    ~Impl() {
        const auto guard = Fonts::lock();
        for (const Paragraph& p : paragraphs) g_object_unref(p.layout);
        if (context) g_object_unref(context);
    }

    [[nodiscard]] bool clipsSingleLine() const {
        return maxWidth > 0 && style.paragraph.lineBreakMode == LineBreakMode::Clip &&
               style.paragraph.numberOfLines == 1;
    }

    void setWrapping(PangoLayout* layout, int linesLeft) const {
        const ParagraphStyle& p = style.paragraph;
        if (maxWidth <= 0 || clipsSingleLine()) return;
        pango_layout_set_width(layout, pangoUnits(maxWidth));
        pango_layout_set_wrap(layout, p.lineBreakMode == LineBreakMode::CharWrap
                                          ? PANGO_WRAP_CHAR
                                          : PANGO_WRAP_WORD_CHAR);
        switch (p.lineBreakMode) {
            case LineBreakMode::TruncateTail:
                if (p.numberOfLines > 0) {
                    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
                    pango_layout_set_height(layout, -linesLeft);
                }
                break;
            case LineBreakMode::TruncateHead:
                pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_START);
                break;
            case LineBreakMode::TruncateMiddle:
                pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_MIDDLE);
                break;
            default:
                break;
        }
    }

    PangoLayout* createLayout(ByteRange range, const std::vector<TextRun>& runs,
                              const PangoFontDescription* font, int linesLeft) const {
        const ParagraphStyle& p = style.paragraph;
        PangoLayout* layout = pango_layout_new(context);
        pango_layout_set_text(layout, text.data() + range.start,
                              static_cast<int>(range.end - range.start));
        pango_layout_set_font_description(layout, font);
        setWrapping(layout, linesLeft);
        pango_layout_set_alignment(layout, pangoAlignment(p.alignment));
        pango_layout_set_justify(layout, p.alignment == TextAlignment::Justified);
        pango_layout_set_spacing(layout, pangoUnits(std::max(0.0, p.lineSpacing)));
        pango_layout_set_indent(layout, pangoUnits(std::max(0.0, p.firstLineHeadIndent)));
        PangoAttrList* attributes = runAttributes(runs, text, range);
        pango_layout_set_attributes(layout, attributes);
        pango_attr_list_unref(attributes);
        return layout;
    }

    // Where a line set without a width goes for the alignment within maxWidth.
    [[nodiscard]] double alignmentOffset(PangoLayout* layout) const {
        if (!clipsSingleLine()) return 0;
        PangoRectangle logical;
        pango_layout_get_extents(layout, nullptr, &logical);
        const double slack = maxWidth - points(logical.width + logical.x);
        switch (style.paragraph.alignment) {
            case TextAlignment::Center:
                return std::max(0.0, slack / 2);
            case TextAlignment::Right:
                return std::max(0.0, slack);
            default:
                return 0;
        }
    }

    // Adds the paragraph's lines, at most `linesLeft`; returns how many.
    int addParagraph(PangoLayout* layout, Point offset, int linesLeft) {
        const double indent = std::max(0.0, style.paragraph.firstLineHeadIndent);
        int shown = 0;
        double bottom = 0;
        double rightmost = 0;
        PangoLayoutIter* iter = pango_layout_get_iter(layout);
        do {
            if (shown == linesLeft) break;
            PangoRectangle logical;
            pango_layout_iter_get_line_extents(iter, nullptr, &logical);
            const Rect line{offset.x + points(logical.x), offset.y + points(logical.y),
                            points(logical.width), points(logical.height)};
            lineRects.push_back(line);
            const bool first = pango_layout_iter_get_line_readonly(iter)->is_paragraph_start;
            size.width = std::max(size.width, line.width() + (first ? indent : 0));
            rightmost = std::max(rightmost, line.maxX());
            bottom = line.maxY() - offset.y;
            ++shown;
        } while (pango_layout_iter_next_line(iter));
        pango_layout_iter_free(iter);

        const bool linesHidden = shown < pango_layout_get_line_count(layout);
        const bool cut = clipsSingleLine() && rightmost > offset.x + maxWidth;
        if (cut) size.width = std::min(size.width, maxWidth);
        truncated = truncated || linesHidden || cut || pango_layout_is_ellipsized(layout);
        paragraphs.push_back({layout, offset, bottom, linesHidden || cut});
        size.height = offset.y + bottom;
        return shown;
    }

    void build(const std::vector<TextRun>& runs) {
        const ParagraphStyle& p = style.paragraph;
        context = Fonts::createContext();
        PangoFontDescription* font = Fonts::createDescription(style.font);
        int linesLeft = p.numberOfLines > 0 ? p.numberOfLines : INT_MAX;
        double y = 0;
        for (const ByteRange& range : paragraphRanges(text)) {
            if (linesLeft == 0) {
                truncated = true;
                break;
            }
            PangoLayout* layout = createLayout(range, runs, font, linesLeft);
            linesLeft -= addParagraph(layout, {alignmentOffset(layout), y}, linesLeft);
            y = size.height + std::max(0.0, p.lineSpacing) + std::max(0.0, p.paragraphSpacing);
        }
        pango_font_description_free(font);
    }
};

TextLayout::TextLayout(std::string_view text, const TextStyle& style, double maxWidth,
                       const std::vector<TextRun>& runs)
    : impl_(std::make_unique<Impl>()) {
    impl_->text = validUtf8(text);
    impl_->style = style;
    impl_->maxWidth = maxWidth > 0 ? maxWidth : 0;
    const auto guard = Fonts::lock();
    impl_->build(runs);
}

TextLayout::~TextLayout() = default;
TextLayout::TextLayout(TextLayout&&) noexcept = default;
TextLayout& TextLayout::operator=(TextLayout&&) noexcept = default;

const std::string& TextLayout::text() const {
    static const std::string empty;
    return impl_ ? impl_->text : empty;
}

Size TextLayout::size() const {
    return impl_ ? impl_->size : Size{};
}

int TextLayout::lineCount() const {
    return impl_ ? static_cast<int>(impl_->lineRects.size()) : 0;
}

const std::vector<Rect>& TextLayout::lineRects() const {
    static const std::vector<Rect> none;
    return impl_ ? impl_->lineRects : none;
}

bool TextLayout::isTruncated() const {
    return impl_ && impl_->truncated;
}

int TextLayout::unknownGlyphCount() const {
    if (!impl_) return 0;
    const auto guard = Fonts::lock();
    int count = 0;
    for (const Impl::Paragraph& p : impl_->paragraphs) {
        count += pango_layout_get_unknown_glyphs_count(p.layout);
    }
    return count;
}

std::vector<std::string> TextLayout::fontFamilies() const {
    std::vector<std::string> families;
    if (!impl_) return families;
    const auto guard = Fonts::lock();
    size_t linesLeft = impl_->lineRects.size();
    for (const Impl::Paragraph& p : impl_->paragraphs) {
        for (GSList* line = pango_layout_get_lines_readonly(p.layout); line && linesLeft > 0;
             line = line->next, --linesLeft) {
            for (GSList* run = static_cast<PangoLayoutLine*>(line->data)->runs; run;
                 run = run->next) {
                PangoFont* font = static_cast<PangoGlyphItem*>(run->data)->item->analysis.font;
                if (!font) continue;
                PangoFontDescription* description = pango_font_describe(font);
                const char* family = pango_font_description_get_family(description);
                if (family &&
                    std::find(families.begin(), families.end(), family) == families.end()) {
                    families.emplace_back(family);
                }
                pango_font_description_free(description);
            }
        }
    }
    return families;
}

void TextLayout::draw(cairo_t* cr, Point origin) const {
    if (!impl_) return;
    const auto guard = Fonts::lock();
    const Color& color = impl_->style.color;
    constexpr double kFar = 1e7;
    for (const Impl::Paragraph& p : impl_->paragraphs) {
        cairo_save(cr);
        if (p.clipped) {
            const double x0 = impl_->clipsSingleLine() ? origin.x : origin.x - kFar;
            const double x1 =
                impl_->clipsSingleLine() ? origin.x + impl_->maxWidth : origin.x + kFar;
            cairo_rectangle(cr, x0, origin.y + p.offset.y, x1 - x0, p.shownHeight);
            cairo_clip(cr);
        }
        cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
        cairo_move_to(cr, origin.x + p.offset.x, origin.y + p.offset.y);
        pango_cairo_show_layout(cr, p.layout);
        cairo_restore(cr);
    }
}

}  // namespace gfx
