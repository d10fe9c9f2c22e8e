#include <gtest/gtest.h>

#include <numbers>

#include "GeometryPrinting.h"
#include "gfx/Color.h"
#include "gfx/Geometry.h"

using gfx::AffineTransform;
using gfx::Color;
using gfx::EdgeInsets;
using gfx::Point;
using gfx::Rect;

namespace {

void expectNear(const Rect& actual, const Rect& expected) {
    EXPECT_NEAR(actual.origin.x, expected.origin.x, 1e-9);
    EXPECT_NEAR(actual.origin.y, expected.origin.y, 1e-9);
    EXPECT_NEAR(actual.size.width, expected.size.width, 1e-9);
    EXPECT_NEAR(actual.size.height, expected.size.height, 1e-9);
}

TEST(RectTest, EdgesOfNegativeSizesAreStandardized) {
    const Rect r{10, 20, -4, -6};
    EXPECT_EQ(r.minX(), 6);
    EXPECT_EQ(r.maxX(), 10);
    EXPECT_EQ(r.minY(), 14);
    EXPECT_EQ(r.maxY(), 20);
    EXPECT_EQ(r.standardized(), Rect(6, 14, 4, 6));
}

TEST(RectTest, ContainsIsHalfOpen) {
    const Rect r{0, 0, 10, 10};
    EXPECT_TRUE(r.contains(Point{0, 0}));
    EXPECT_TRUE(r.contains(Point{9.99, 9.99}));
    EXPECT_FALSE(r.contains(Point{10, 5}));
    EXPECT_FALSE(r.contains(Point{5, 10}));
    EXPECT_TRUE(r.contains(Rect(0, 0, 10, 10)));
    EXPECT_FALSE(r.contains(Rect(1, 1, 10, 2)));
}

TEST(RectTest, IntersectionOfTouchingOrDisjointRectsIsEmpty) {
    const Rect a{0, 0, 10, 10};
    EXPECT_EQ(a.intersection(Rect(5, 5, 10, 10)), Rect(5, 5, 5, 5));
    EXPECT_TRUE(a.intersects(Rect(9, 9, 1, 1)));
    EXPECT_FALSE(a.intersects(Rect(10, 0, 5, 5)));
    EXPECT_TRUE(a.intersection(Rect(10, 0, 5, 5)).isEmpty());
    EXPECT_TRUE(a.intersection(Rect(20, 20, 5, 5)).isEmpty());
}

TEST(RectTest, UnionIgnoresEmptyRects) {
    const Rect a{0, 0, 10, 10};
    EXPECT_EQ(a.united(Rect(20, 5, 5, 10)), Rect(0, 0, 25, 15));
    EXPECT_EQ(a.united(Rect(100, 100, 0, 0)), a);
    EXPECT_EQ(Rect().united(Rect(3, 4, 1, 1)), Rect(3, 4, 1, 1));
}

TEST(RectTest, InsetOffsetIntegral) {
    const Rect r{10, 10, 100, 50};
    EXPECT_EQ(r.inset(5, 10), Rect(15, 20, 90, 30));
    EXPECT_EQ(r.inset(EdgeInsets{1, 2, 3, 4}), Rect(12, 11, 94, 46));
    EXPECT_EQ(r.offset(-10, 5), Rect(0, 15, 100, 50));
    EXPECT_EQ(Rect(0.5, 1.2, 2.1, 2.0).integral(), Rect(0, 1, 3, 3));
    EXPECT_EQ(Rect(-0.5, -0.5, 1, 1).integral(), Rect(-1, -1, 2, 2));
}

TEST(AffineTransformTest, ComposesInApplicationOrder) {
    const auto scaleThenMove =
        AffineTransform::scaling(2, 3).concat(AffineTransform::translation(10, 20));
    EXPECT_EQ(scaleThenMove.apply(Point{1, 1}), (Point{12, 23}));
    // translated() moves the coordinate space first, like a canvas.
    const auto moveThenScale = AffineTransform::scaling(2, 3).translated(10, 20);
    EXPECT_EQ(moveThenScale.apply(Point{1, 1}), (Point{22, 63}));
}

TEST(AffineTransformTest, RotationTurnsXTowardsY) {
    const Point p = AffineTransform::rotation(std::numbers::pi / 2).apply(Point{1, 0});
    EXPECT_NEAR(p.x, 0, 1e-12);
    EXPECT_NEAR(p.y, 1, 1e-12);
}

TEST(AffineTransformTest, InverseUndoesTheTransform) {
    const auto t = AffineTransform::rotation(0.3).scaled(2, 0.5).translated(7, -3);
    const auto inverse = t.inverted();
    ASSERT_TRUE(inverse.has_value());
    const Point p = inverse->apply(t.apply(Point{3, 4}));
    EXPECT_NEAR(p.x, 3, 1e-9);
    EXPECT_NEAR(p.y, 4, 1e-9);
    EXPECT_FALSE(AffineTransform::scaling(0, 1).inverted().has_value());
}

TEST(AffineTransformTest, RectMapsToBoundingBoxOfCorners) {
    const Rect r{0, 0, 10, 20};
    expectNear(AffineTransform::rotation(std::numbers::pi / 2).apply(r), Rect(-20, 0, 20, 10));
    expectNear(AffineTransform::scaling(-1, 1).apply(r), Rect(-10, 0, 10, 20));
}

TEST(ColorTest, HexAndPremultipliedPixels) {
    const Color c = Color::fromRGB(0xFF8000, 0.5);
    EXPECT_EQ(c.red, 1);
    EXPECT_NEAR(c.green, 128 / 255.0, 1e-12);
    EXPECT_EQ(c.blue, 0);
    EXPECT_EQ(c.premultipliedARGB(), 0x80800000u | 0x4000u);
    const Color back = Color::fromPremultipliedARGB(0x80800000u);
    EXPECT_NEAR(back.red, 1, 1e-12);
    EXPECT_NEAR(back.alpha, 128 / 255.0, 1e-12);
    EXPECT_EQ(Color::fromPremultipliedARGB(0), Color::clear());
    EXPECT_EQ(Color::white().withAlpha(0.25), (Color{1, 1, 1, 0.25}));
}

}  // namespace
