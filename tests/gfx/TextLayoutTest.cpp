#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "GeometryPrinting.h"
#include "gfx/Canvas.h"
#include "gfx/Image.h"
#include "gfx/TextLayout.h"

using gfx::Color;
using gfx::Font;
using gfx::LineBreakMode;
using gfx::TextAlignment;
using gfx::TextLayout;
using gfx::TextRun;
using gfx::TextStyle;

namespace {

const char* const kSentence = "The quick brown fox jumps over the lazy dog again and again";

TextStyle style(double size = 16) {
    TextStyle s;
    s.font = Font{"system", size};
    return s;
}

TextStyle withMode(LineBreakMode mode, int lines = 0) {
    TextStyle s = style();
    s.paragraph.lineBreakMode = mode;
    s.paragraph.numberOfLines = lines;
    return s;
}

TEST(TextLayoutTest, LongerTextWrapsIntoMoreLines) {
    const TextLayout one("The quick brown fox", style(), 150);
    const TextLayout many(kSentence, style(), 150);
    EXPECT_GE(one.lineCount(), 1);
    EXPECT_GT(many.lineCount(), one.lineCount());
    EXPECT_GT(many.size().height, one.size().height);
    EXPECT_LE(many.size().width, 150);
    const TextLayout unconstrained(kSentence, style());
    EXPECT_EQ(unconstrained.lineCount(), 1);
    EXPECT_GT(unconstrained.size().width, 150);
}

TEST(TextLayoutTest, CharWrapFillsLinesThatWordWrapBreaksEarly) {
    const std::string text = "aaaa bbbbbbbbbbbbbbbb";
    const double width = TextLayout("aaaa bbbbbb", style()).size().width;
    const TextLayout words(text, withMode(LineBreakMode::WordWrap), width);
    const TextLayout chars(text, withMode(LineBreakMode::CharWrap), width);
    ASSERT_GE(words.lineCount(), 2);
    ASSERT_GE(chars.lineCount(), 2);
    // Word wrap ends the first line after "aaaa "; char wrap goes on into the b's.
    EXPECT_LT(words.lineRects()[0].width(), chars.lineRects()[0].width() * 0.7);
}

TEST(TextLayoutTest, FirstLineHeadIndentShiftsOnlyTheFirstLine) {
    TextStyle indented = style();
    indented.paragraph.firstLineHeadIndent = 24;
    const TextLayout plain(kSentence, style(), 200);
    const TextLayout layout(kSentence, indented, 200);
    ASSERT_GE(layout.lineCount(), 2);
    EXPECT_NEAR(plain.lineRects()[0].minX(), 0, 0.01);
    EXPECT_NEAR(layout.lineRects()[0].minX(), 24, 0.01);
    EXPECT_NEAR(layout.lineRects()[1].minX(), 0, 0.01);
}

TEST(TextLayoutTest, MarkupIsDrawnLiterally) {
    const TextLayout plain("x", style());
    const TextLayout markup("<b>x</b>", style());
    const TextLayout entity("&amp;", style());
    EXPECT_EQ(markup.text(), "<b>x</b>");
    EXPECT_GT(markup.size().width, plain.size().width * 4);
    EXPECT_GT(entity.size().width, TextLayout("&", style()).size().width * 3);
}

TEST(TextLayoutTest, ChineseUsesNotoCjkWithoutMissingGlyphs) {
    const TextLayout layout("壁纸每日更新，欢迎使用", style());
    EXPECT_EQ(layout.unknownGlyphCount(), 0);
    const auto families = layout.fontFamilies();
    ASSERT_FALSE(families.empty());
    EXPECT_EQ(families.front(), "Noto Sans CJK SC");

    TextStyle serif = style();
    serif.font.family = "Source Han Serif CN";
    EXPECT_EQ(TextLayout("宁静致远", serif).fontFamilies().front(), "Noto Serif CJK SC");
}

TEST(TextLayoutTest, NumberOfLinesLimitsWhatIsMeasured) {
    const TextLayout all(kSentence, style(), 120);
    const TextLayout two(kSentence, withMode(LineBreakMode::WordWrap, 2), 120);
    ASSERT_GT(all.lineCount(), 2);
    EXPECT_EQ(two.lineCount(), 2);
    EXPECT_TRUE(two.isTruncated());
    EXPECT_FALSE(all.isTruncated());
    EXPECT_NEAR(two.size().height, all.lineRects()[1].maxY(), 0.01);
}

TEST(TextLayoutTest, TruncationModesKeepLinesWithinTheWidth) {
    for (const LineBreakMode mode : {LineBreakMode::TruncateTail, LineBreakMode::TruncateHead,
                                     LineBreakMode::TruncateMiddle, LineBreakMode::Clip}) {
        const TextLayout layout(kSentence, withMode(mode, 1), 120);
        EXPECT_EQ(layout.lineCount(), 1) << int(mode);
        EXPECT_LE(layout.size().width, 120.01) << int(mode);
        EXPECT_TRUE(layout.isTruncated()) << int(mode);
    }
    const TextLayout tail(kSentence, withMode(LineBreakMode::TruncateTail, 2), 120);
    EXPECT_EQ(tail.lineCount(), 2);
    EXPECT_TRUE(tail.isTruncated());
    const TextLayout fits("fox", withMode(LineBreakMode::TruncateTail, 1), 120);
    EXPECT_FALSE(fits.isTruncated());
}

TEST(TextLayoutTest, LineAndParagraphSpacingAddUp) {
    const std::string text = "first\nsecond";
    const TextLayout plain(text, style());
    ASSERT_EQ(plain.lineCount(), 2);
    TextStyle spaced = style();
    spaced.paragraph.lineSpacing = 5;
    spaced.paragraph.paragraphSpacing = 7;
    const TextLayout layout(text, spaced);
    EXPECT_NEAR(layout.size().height, plain.size().height + 12, 0.01);
    EXPECT_NEAR(layout.lineRects()[1].minY(), plain.lineRects()[1].minY() + 12, 0.01);

    // Line spacing alone applies between wrapped lines of one paragraph.
    TextStyle lines = style();
    lines.paragraph.lineSpacing = 5;
    const TextLayout wrapped(kSentence, lines, 150);
    const TextLayout tight(kSentence, style(), 150);
    ASSERT_EQ(wrapped.lineCount(), tight.lineCount());
    EXPECT_NEAR(wrapped.size().height, tight.size().height + 5 * (tight.lineCount() - 1), 0.01);
}

TEST(TextLayoutTest, AlignmentPlacesLinesWithinTheWidth) {
    TextStyle centred = style();
    centred.paragraph.alignment = TextAlignment::Center;
    TextStyle right = style();
    right.paragraph.alignment = TextAlignment::Right;
    const TextLayout c("fox", centred, 200);
    const TextLayout r("fox", right, 200);
    const double w = c.size().width;
    EXPECT_NEAR(c.lineRects()[0].minX(), (200 - w) / 2, 0.5);
    EXPECT_NEAR(r.lineRects()[0].maxX(), 200, 0.5);

    right.paragraph.lineBreakMode = LineBreakMode::Clip;
    right.paragraph.numberOfLines = 1;
    EXPECT_NEAR(TextLayout("fox", right, 200).lineRects()[0].maxX(), 200, 0.5);
}

TEST(TextLayoutTest, RunsChangeFontAndColourOfTheirRange) {
    const std::string text = "small BIG";
    const TextLayout plain(text, style(12));
    const TextLayout big(text, style(12), 0, {TextRun{6, 3, Font{"system", 36}, std::nullopt}});
    EXPECT_GT(big.size().height, plain.size().height * 2);
    EXPECT_GT(big.size().width, plain.size().width);
    // A run past the end is clipped, one inside a character widened.
    const TextLayout clipped("字", style(), 0,
                             {TextRun{1, 1000, Font{"system", 40}, std::nullopt}});
    EXPECT_GT(clipped.size().height, TextLayout("字", style()).size().height * 2);

    const TextLayout red("IIII", style(30), 0,
                         {TextRun{0, 4, std::nullopt, Color::fromRGB(0xFF0000)}});
    const auto image = gfx::Image::draw(red.size(), 1, [&](gfx::Canvas& canvas) {
        canvas.drawText(red, {0, 0});
    });
    ASSERT_TRUE(image);
    int redPixels = 0, otherInk = 0;
    for (int y = 0; y < image->pixelHeight(); ++y) {
        for (int x = 0; x < image->pixelWidth(); ++x) {
            const Color c = image->pixelAt(x, y);
            if (c.alpha < 0.5) continue;
            (c.red > 0.9 && c.green < 0.1 ? redPixels : otherInk)++;
        }
    }
    EXPECT_GT(redPixels, 20);
    EXPECT_EQ(otherInk, 0);
}

TEST(TextLayoutTest, DrawnTextInksInsideItsMeasuredSize) {
    const TextLayout layout("Wallpaper 壁纸", style(20));
    const gfx::Size size = layout.size();
    const auto image =
        gfx::Image::draw({size.width + 20, size.height + 20}, 2, [&](gfx::Canvas& canvas) {
            canvas.drawText(layout, {10, 10});
        });
    ASSERT_TRUE(image);
    int inside = 0, outside = 0;
    for (int y = 0; y < image->pixelHeight(); ++y) {
        for (int x = 0; x < image->pixelWidth(); ++x) {
            if (image->pixelAt(x, y).alpha == 0) continue;
            const double px = x / 2.0, py = y / 2.0;
            const bool in = px >= 9 && px <= size.width + 11 && py >= 9 && py <= size.height + 11;
            (in ? inside : outside)++;
        }
    }
    EXPECT_GT(inside, 100);
    EXPECT_EQ(outside, 0);
}

TEST(TextLayoutTest, EmptyAndInvalidText) {
    const TextLayout empty("", style());
    EXPECT_EQ(empty.lineCount(), 0);
    EXPECT_EQ(empty.size(), gfx::Size{});
    const TextLayout invalid(std::string_view("ab\xFF\xFE"
                                              "c\0d",
                                              7),
                             style());
    EXPECT_EQ(invalid.lineCount(), 1);
    EXPECT_GT(invalid.size().width, 0);
    EXPECT_EQ(invalid.text().find('\0'), std::string::npos);
    const TextLayout trailing("line\n", style());
    EXPECT_EQ(trailing.lineCount(), 2);
}

TEST(TextLayoutTest, MovedFromLayoutIsEmpty) {
    TextLayout a("fox", style());
    const gfx::Size size = a.size();
    TextLayout b(std::move(a));
    EXPECT_EQ(b.size(), size);
    a = TextLayout("a much longer text than before", style());
    EXPECT_GT(a.size().width, size.width);
}

TEST(TextLayoutTest, LayoutsOnSeveralThreadsAgree) {
    const gfx::Size expected = TextLayout(kSentence, style(), 150).size();
    std::vector<gfx::Size> sizes(4);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < sizes.size(); ++i) {
        threads.emplace_back([&sizes, i] {
            for (int n = 0; n < 20; ++n) {
                const TextLayout layout(kSentence, style(), 150);
                const auto image = gfx::Image::draw({150, 100}, 1, [&](gfx::Canvas& canvas) {
                    canvas.drawText(layout, {0, 0});
                });
                EXPECT_TRUE(image);
                sizes[i] = layout.size();
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (const gfx::Size& size : sizes) EXPECT_EQ(size, expected);
}

}  // namespace
