#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "gfx/Bitmap.h"
#include "gfx/Canvas.h"
#include "gfx/Image.h"

using gfx::Bitmap;
using gfx::Canvas;
using gfx::Color;
using gfx::ContentMode;
using gfx::Image;
using gfx::Point;
using gfx::Rect;
using gfx::Size;

namespace {

int byte(double component) {
    return static_cast<int>(std::lround(component * 255));
}

struct Rgba {
    int r, g, b, a;
};

Rgba at(const Image& image, int x, int y) {
    const Color c = image.pixelAt(x, y);
    return {byte(c.red), byte(c.green), byte(c.blue), byte(c.alpha)};
}

void expectRgba(const Image& image, int x, int y, Rgba expected, int tolerance = 1) {
    const Rgba c = at(image, x, y);
    SCOPED_TRACE("pixel " + std::to_string(x) + "," + std::to_string(y));
    EXPECT_NEAR(c.r, expected.r, tolerance);
    EXPECT_NEAR(c.g, expected.g, tolerance);
    EXPECT_NEAR(c.b, expected.b, tolerance);
    EXPECT_NEAR(c.a, expected.a, tolerance);
}

std::shared_ptr<const Image> draw(Size size, const std::function<void(Canvas&)>& body,
                                  double scale = 1) {
    auto image = Image::draw(size, scale, body);
    EXPECT_TRUE(image);
    return image;
}

const Color kRed = Color::fromRGB(0xFF0000);
const Color kGreen = Color::fromRGB(0x00FF00);
const Color kBlue = Color::fromRGB(0x0000FF);

TEST(CanvasTest, RoundedRectLeavesCornersClear) {
    const auto image =
        draw({40, 40}, [](Canvas& c) { c.fillRoundedRect(Rect(0, 0, 40, 40), 12, kRed); });
    expectRgba(*image, 0, 0, {0, 0, 0, 0});
    expectRgba(*image, 39, 39, {0, 0, 0, 0});
    expectRgba(*image, 20, 20, {255, 0, 0, 255});
    expectRgba(*image, 20, 0, {255, 0, 0, 255});
    // The radius is clamped to half the side: a circle, not a broken path.
    const auto circle =
        draw({40, 40}, [](Canvas& c) { c.fillRoundedRect(Rect(0, 0, 40, 40), 500, kRed); });
    expectRgba(*circle, 3, 3, {0, 0, 0, 0});
    expectRgba(*circle, 20, 1, {255, 0, 0, 255});
}

TEST(CanvasTest, EllipseAndStrokes) {
    const auto image = draw({60, 40}, [](Canvas& c) {
        c.fillEllipse(Rect(0, 0, 60, 40), kBlue);
        c.strokeLine(Point{0, 20}, Point{60, 20}, kGreen, 4);
        c.strokeRect(Rect(10, 10, 10, 10), kRed, 2);
    });
    expectRgba(*image, 1, 1, {0, 0, 0, 0});
    expectRgba(*image, 30, 5, {0, 0, 255, 255});
    expectRgba(*image, 40, 19, {0, 255, 0, 255});
    expectRgba(*image, 15, 10, {255, 0, 0, 255});  // on the outline
    expectRgba(*image, 15, 14, {0, 0, 255, 255});  // inside the outline: untouched
}

TEST(CanvasTest, TransparencyLayerBlendsAsOneGroup) {
    const auto image = draw({30, 10}, [](Canvas& c) {
        c.fillRect(Rect(0, 0, 30, 10), kRed);
        c.beginTransparencyLayer();
        c.fillRect(Rect(0, 0, 20, 10), kBlue);
        c.fillRect(Rect(10, 0, 20, 10), kGreen);
        c.endTransparencyLayer(0.5);
    });
    // Where the layer's shapes overlap only the top one shows, at half alpha:
    // no blue may shine through the green.
    expectRgba(*image, 5, 5, {128, 0, 127, 255});
    expectRgba(*image, 15, 5, {128, 127, 0, 255});
    expectRgba(*image, 25, 5, {128, 127, 0, 255});
}

TEST(CanvasTest, TranslucentColoursBlend) {
    const auto image = draw({10, 10}, [](Canvas& c) {
        c.fillRect(Rect(0, 0, 10, 10), Color::white());
        c.fillRect(Rect(0, 0, 10, 10), Color::black().withAlpha(0.25));
    });
    expectRgba(*image, 5, 5, {191, 191, 191, 255});
}

TEST(CanvasTest, SaveRestoreScopesTransformAndClip) {
    const auto image = draw({20, 20}, [](Canvas& c) {
        c.save();
        c.translate(10, 10);
        c.clipToRect(Rect(0, 0, 5, 5));
        c.fillRect(Rect(0, 0, 10, 10), kRed);
        c.restore();
        c.restore();  // unbalanced: ignored
        c.fillRect(Rect(0, 0, 2, 2), kGreen);
    });
    expectRgba(*image, 12, 12, {255, 0, 0, 255});
    expectRgba(*image, 16, 16, {0, 0, 0, 0});
    expectRgba(*image, 1, 1, {0, 255, 0, 255});
}

TEST(CanvasTest, TransformReportsUserToPixels) {
    const auto bitmap = Bitmap::create(Size{10, 10}, 3);
    ASSERT_TRUE(bitmap);
    Canvas& canvas = bitmap->canvas();
    canvas.translate(2, 1);
    canvas.rotate(std::numbers::pi / 2);
    const Point p = canvas.transform().apply(Point{1, 0});
    EXPECT_NEAR(p.x, 6, 1e-9);
    EXPECT_NEAR(p.y, 6, 1e-9);
    canvas.clipToRect(Rect(0, 0, 4, 4));
    const Rect clip = canvas.clipBounds();
    EXPECT_NEAR(clip.minX(), 0, 1e-9);
    EXPECT_NEAR(clip.width(), 4, 1e-9);
}

TEST(CanvasTest, SingularTransformHidesDrawingUntilRestore) {
    const auto image = draw({10, 10}, [](Canvas& c) {
        c.save();
        c.scale(0, 1);
        c.fillRect(Rect(0, 0, 10, 10), kRed);
        c.restore();
        c.fillRect(Rect(0, 0, 5, 5), kGreen);
    });
    expectRgba(*image, 8, 8, {0, 0, 0, 0});
    expectRgba(*image, 2, 2, {0, 255, 0, 255});
}

TEST(CanvasTest, RoundedClipMasksImages) {
    const auto solid = Image::create(4, 4, Image::Pixels(16, 0xFF0000FFu));
    const auto image = draw({20, 20}, [&](Canvas& c) {
        c.clipToRoundedRect(Rect(0, 0, 20, 20), 10);
        c.drawImage(*solid, Rect(0, 0, 20, 20));
    });
    expectRgba(*image, 0, 0, {0, 0, 0, 0});
    expectRgba(*image, 10, 10, {0, 0, 255, 255});
}

TEST(CanvasTest, LinearGradientRunsBetweenItsStops) {
    const auto image = draw({101, 4}, [](Canvas& c) {
        c.fillLinearGradient(Rect(0, 0, 101, 4),
                             {Point{0, 0}, Point{101, 0}, {{0, kRed}, {1, kBlue}}});
    });
    const Rgba left = at(*image, 0, 2);
    const Rgba middle = at(*image, 50, 2);
    const Rgba right = at(*image, 100, 2);
    EXPECT_GT(left.r, 250);
    EXPECT_GT(right.b, 250);
    EXPECT_NEAR(middle.r, 128, 4);
    EXPECT_NEAR(middle.b, 128, 4);
}

TEST(CanvasTest, ImagesLandWhereTheContentModePutsThem) {
    // A 2:1 image, red on the left half and green on the right, in a square.
    Image::Pixels pixels;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 40; ++x) pixels.push_back(x < 20 ? 0xFFFF0000u : 0xFF00FF00u);
    }
    const auto wide = Image::create(40, 20, std::move(pixels));

    const auto fit = draw({40, 40}, [&](Canvas& c) {
        c.drawImage(*wide, Rect(0, 0, 40, 40), ContentMode::ScaleAspectFit, true);
    });
    expectRgba(*fit, 10, 5, {0, 0, 0, 0});
    expectRgba(*fit, 10, 20, {255, 0, 0, 255});
    expectRgba(*fit, 30, 20, {0, 255, 0, 255});
    expectRgba(*fit, 30, 35, {0, 0, 0, 0});

    // Fill overflows sideways; clipping keeps it inside the rect.
    const auto clipped = draw({80, 40}, [&](Canvas& c) {
        c.drawImage(*wide, Rect(20, 0, 40, 40), ContentMode::ScaleAspectFill, true);
    });
    expectRgba(*clipped, 10, 20, {0, 0, 0, 0});
    expectRgba(*clipped, 30, 20, {255, 0, 0, 255});
    expectRgba(*clipped, 50, 20, {0, 255, 0, 255});
    expectRgba(*clipped, 70, 20, {0, 0, 0, 0});
    const auto unclipped = draw({80, 40}, [&](Canvas& c) {
        c.drawImage(*wide, Rect(20, 0, 40, 40), ContentMode::ScaleAspectFill, false);
    });
    expectRgba(*unclipped, 10, 20, {255, 0, 0, 255});
    expectRgba(*unclipped, 70, 20, {0, 255, 0, 255});
}

TEST(CanvasTest, ImageAlphaAndPointScale) {
    const auto solid = Image::create(2, 2, Image::Pixels(4, 0xFFFFFFFFu));
    const auto image = draw(
        {10, 10},
        [&](Canvas& c) {
            c.fillRect(Rect(0, 0, 10, 10), Color::black());
            c.drawImage(*solid, Rect(0, 0, 5, 5), 0.5);
        },
        2);
    EXPECT_EQ(image->pixelWidth(), 20);
    expectRgba(*image, 9, 9, {128, 128, 128, 255});
    expectRgba(*image, 10, 10, {0, 0, 0, 255});
}

}  // namespace
