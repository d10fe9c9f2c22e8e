#include <gtest/gtest.h>

#include "GeometryPrinting.h"
#include "gfx/ContentMode.h"

using gfx::ContentMode;
using gfx::contentRect;
using gfx::Rect;
using gfx::Size;

namespace {

// A 200x100 picture in a 100x100 box at (10, 20).
const Size kWide{200, 100};
const Rect kBox{10, 20, 100, 100};

TEST(ContentModeTest, ScalingModes) {
    EXPECT_EQ(contentRect(ContentMode::ScaleToFill, kWide, kBox), kBox);
    EXPECT_EQ(contentRect(ContentMode::ScaleAspectFit, kWide, kBox), Rect(10, 45, 100, 50));
    EXPECT_EQ(contentRect(ContentMode::ScaleAspectFill, kWide, kBox), Rect(-40, 20, 200, 100));
    // A tall picture fits by height instead.
    EXPECT_EQ(contentRect(ContentMode::ScaleAspectFit, Size{50, 200}, kBox),
              Rect(47.5, 20, 25, 100));
    EXPECT_EQ(contentRect(ContentMode::ScaleAspectFill, Size{50, 200}, kBox),
              Rect(10, -130, 100, 400));
}

TEST(ContentModeTest, UnscaledModesPinEdgesOrCentre) {
    const Size small{40, 30};
    EXPECT_EQ(contentRect(ContentMode::Center, small, kBox), Rect(40, 55, 40, 30));
    EXPECT_EQ(contentRect(ContentMode::Top, small, kBox), Rect(40, 20, 40, 30));
    EXPECT_EQ(contentRect(ContentMode::Bottom, small, kBox), Rect(40, 90, 40, 30));
    EXPECT_EQ(contentRect(ContentMode::Left, small, kBox), Rect(10, 55, 40, 30));
    EXPECT_EQ(contentRect(ContentMode::Right, small, kBox), Rect(70, 55, 40, 30));
    EXPECT_EQ(contentRect(ContentMode::TopLeft, small, kBox), Rect(10, 20, 40, 30));
    EXPECT_EQ(contentRect(ContentMode::TopRight, small, kBox), Rect(70, 20, 40, 30));
    EXPECT_EQ(contentRect(ContentMode::BottomLeft, small, kBox), Rect(10, 90, 40, 30));
    EXPECT_EQ(contentRect(ContentMode::BottomRight, small, kBox), Rect(70, 90, 40, 30));
    // Larger content overhangs evenly when centred.
    EXPECT_EQ(contentRect(ContentMode::Center, kWide, kBox), Rect(-40, 20, 200, 100));
}

TEST(ContentModeTest, EmptyContentCollapsesToTheCentre) {
    const Rect r = contentRect(ContentMode::ScaleAspectFit, Size{0, 10}, kBox);
    EXPECT_TRUE(r.isEmpty());
    EXPECT_EQ(r.origin, kBox.center());
}

}  // namespace
