#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <utility>

#include "gfx/Bitmap.h"
#include "gfx/GeometryPrinting.h"
#include "gfx/TextLayout.h"
#include "ui/Label.h"

using gfx::Rect;
using gfx::Size;
using ui::Label;

namespace {

const std::string kLongText =
    "The quick brown fox jumps over the lazy dog while the evening light fades slowly";

std::shared_ptr<Label> label(const std::string& text, int lines = 1) {
    auto view = std::make_shared<Label>();
    view->setText(text);
    view->setNumberOfLines(lines);
    return view;
}

// The first and last rows of the label's drawing holding ink, in points of
// a canvas of `canvas` size; {-1, -1} when nothing was drawn.
std::pair<int, int> inkRows(const Label& view, Size canvas) {
    const auto bitmap = gfx::Bitmap::create(canvas, 1);
    view.draw(bitmap->canvas(), view.bounds());
    const auto image = bitmap->makeImage();
    std::pair<int, int> rows{-1, -1};
    for (int y = 0; y < image->pixelHeight(); ++y) {
        for (int x = 0; x < image->pixelWidth(); ++x) {
            if (image->pixelAt(x, y).alpha < 0.3) continue;
            if (rows.first < 0) rows.first = y;
            rows.second = y;
            break;
        }
    }
    return rows;
}

TEST(LabelTest, TextIsNeverMarkup) {
    const Size markup = label("<b>bold</b>")->sizeThatFits({});
    const Size plain = label("bold")->sizeThatFits({});
    EXPECT_GT(markup.width, plain.width * 2);
    EXPECT_EQ(markup.height, plain.height);
}

TEST(LabelTest, SizesFollowWidthAndNumberOfLines) {
    const Size oneLine = label(kLongText)->sizeThatFits({});
    EXPECT_GT(oneLine.width, 300);
    EXPECT_EQ(oneLine.width, std::ceil(oneLine.width));

    const Size truncated = label(kLongText)->sizeThatFits({120, 0});
    EXPECT_LE(truncated.width, 120);
    EXPECT_EQ(truncated.height, oneLine.height);

    const Size two = label(kLongText, 2)->sizeThatFits({120, 0});
    const Size all = label(kLongText, 0)->sizeThatFits({120, 0});
    EXPECT_LE(two.width, 120);
    EXPECT_NEAR(two.height, 2 * oneLine.height, 2);
    EXPECT_GT(all.height, 3 * oneLine.height);

    EXPECT_EQ(label(kLongText, 0)->intrinsicContentSize(), oneLine);
    EXPECT_EQ(label("")->sizeThatFits({100, 100}), Size{});
}

TEST(LabelTest, ParagraphStyleAddsSpacingButNotLineRules) {
    const auto plain = label(kLongText, 0);
    const auto spaced = label(kLongText, 0);
    gfx::ParagraphStyle style;
    style.lineSpacing = 10;
    style.numberOfLines = 1;  // the label's own number of lines wins
    spaced->setParagraphStyle(style);
    const Size before = plain->sizeThatFits({120, 0});
    const Size after = spaced->sizeThatFits({120, 0});
    const double lines = std::round(before.height / label("x")->sizeThatFits({}).height);
    ASSERT_GT(lines, 2);
    EXPECT_NEAR(after.height - before.height, (lines - 1) * 10, 1.5);
}

TEST(LabelTest, DrawsTextCentredVertically) {
    const auto view = label("Wallpaper");
    view->setFrame(Rect(0, 0, 200, 100));
    const auto [top, bottom] = inkRows(*view, {200, 100});
    ASSERT_GE(top, 0);
    EXPECT_NEAR((top + bottom) / 2.0, 50, 5);
}

TEST(LabelTest, DropsLinesThatDoNotFitTheHeight) {
    const auto view = label(kLongText + " " + kLongText, 0);
    const double lineHeight = label("x")->sizeThatFits({}).height;
    view->setFrame(Rect(0, 0, 120, 2.5 * lineHeight));
    const auto [top, bottom] = inkRows(*view, {120, 200});
    ASSERT_GE(top, 0);
    EXPECT_LT(bottom, 2.5 * lineHeight);
    EXPECT_GT(bottom, lineHeight);  // two lines, not one
}

TEST(LabelTest, TextChangesAskTheSuperviewForLayout) {
    const auto parent = std::make_shared<ui::View>(Rect(0, 0, 100, 100));
    const auto child = label("a");
    parent->addSubview(child);
    parent->layoutIfNeeded();
    ASSERT_FALSE(parent->needsLayout());
    child->setText("b");
    EXPECT_TRUE(parent->needsLayout());
    parent->layoutIfNeeded();
    child->setFont(gfx::Font::system(30));
    EXPECT_TRUE(parent->needsLayout());
}

TEST(LabelTest, AdjustedTextShrinksToItsWidthButNoFurtherThanTheMinimumScale) {
    const auto view = label("Favourites");
    const gfx::Font medium = gfx::Font::system(19, gfx::FontWeight::Medium);
    view->setFont(medium);
    const double natural = view->sizeThatFits({}).width;
    const auto widthIn = [](const gfx::Font& font) {
        gfx::TextStyle style;
        style.font = font;
        return gfx::TextLayout("Favourites", style).size().width;
    };
    view->setFrame(Rect(0, 0, natural * 0.8, 30));
    EXPECT_EQ(view->fittedFont(), medium) << "not asked to adjust";
    view->setAdjustsFontSizeToFitWidth(true);
    EXPECT_EQ(view->fittedFont(), medium) << "no minimum scale: the size stays";
    view->setMinimumScaleFactor(0.5);
    const gfx::Font fitted = view->fittedFont();
    EXPECT_LT(fitted.size, 19);
    EXPECT_GT(fitted.size, 19 * 0.7) << "no smaller than needed";
    EXPECT_EQ(fitted.weight, gfx::FontWeight::Medium);
    EXPECT_EQ(fitted.family, medium.family);
    EXPECT_LE(widthIn(fitted), natural * 0.8);

    // Too narrow even at the minimum: half the size, then truncated.
    view->setFrame(Rect(0, 0, natural * 0.3, 30));
    EXPECT_DOUBLE_EQ(view->fittedFont().size, 9.5);
    // Wide enough, or more than one line: the label's own font.
    view->setFrame(Rect(0, 0, natural + 1, 30));
    EXPECT_EQ(view->fittedFont(), medium);
    view->setFrame(Rect(0, 0, natural * 0.8, 60));
    view->setNumberOfLines(2);
    EXPECT_EQ(view->fittedFont(), medium);

    // Out-of-range factors are held to 0...1.
    view->setMinimumScaleFactor(7);
    EXPECT_EQ(view->minimumScaleFactor(), 1);
    view->setMinimumScaleFactor(-1);
    EXPECT_EQ(view->minimumScaleFactor(), 0);
}

TEST(LabelTest, ShrunkTextDrawsWholeWithinItsBounds) {
    const auto view = label("Favourites");
    view->setFont(gfx::Font::system(19, gfx::FontWeight::Medium));
    const double natural = view->sizeThatFits({}).width;
    view->setFrame(Rect(0, 0, std::floor(natural * 0.8), 30));
    view->setTextAlignment(gfx::TextAlignment::Center);
    const auto inkColumns = [&] {
        const auto bitmap = gfx::Bitmap::create({natural, 30}, 1);
        view->draw(bitmap->canvas(), view->bounds());
        const auto image = bitmap->makeImage();
        int count = 0;
        for (int x = 0; x < image->pixelWidth(); ++x) {
            for (int y = 0; y < image->pixelHeight(); ++y) {
                if (image->pixelAt(x, y).alpha < 0.3) continue;
                ++count;
                break;
            }
        }
        return count;
    };
    const int truncated = inkColumns();
    view->setAdjustsFontSizeToFitWidth(true);
    view->setMinimumScaleFactor(0.5);
    const int shrunk = inkColumns();
    // Ten letters keep more inked columns than "Favour" and an ellipsis.
    EXPECT_GT(shrunk, truncated);
}

}  // namespace
