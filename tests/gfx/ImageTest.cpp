#include <gtest/gtest.h>

#include <cmath>

#include "GeometryPrinting.h"
#include "gfx/Canvas.h"
#include "gfx/Image.h"

using gfx::Color;
using gfx::Image;
using gfx::Rect;
using gfx::Size;

namespace {

int byte(double component) {
    return static_cast<int>(std::lround(component * 255));
}

// Each pixel's value encodes its position: red = x, green = y.
std::shared_ptr<const Image> coordinates(int width, int height) {
    Image::Pixels pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) pixels.push_back(0xFF000000u | x << 16 | y << 8);
    }
    return Image::create(width, height, std::move(pixels));
}

TEST(ImageTest, CreateChecksThePixelCount) {
    EXPECT_FALSE(Image::create(2, 2, Image::Pixels(3)));
    EXPECT_FALSE(Image::create(0, 2, Image::Pixels()));
    EXPECT_FALSE(
        Image::create(Image::kMaxDimension + 1, 1, Image::Pixels(Image::kMaxDimension + 1)));
    const auto image = Image::create(2, 3, Image::Pixels(6), 2);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (Size{1, 1.5}));
}

TEST(ImageTest, PixelAtUnpremultiplies) {
    const auto image = Image::create(2, 1, {0x80800000u, 0x00000000u});
    const Color c = image->pixelAt(0, 0);
    EXPECT_EQ(byte(c.red), 255);
    EXPECT_EQ(byte(c.alpha), 128);
    EXPECT_EQ(image->pixelAt(1, 0), Color::clear());
    EXPECT_EQ(image->pixelAt(2, 0), Color::clear());
    EXPECT_EQ(image->pixelAt(-1, 0), Color::clear());
}

TEST(ImageTest, CropIsClampedToTheImage) {
    const auto image = coordinates(10, 8);
    const auto inside = image->cropped(Rect(2, 3, 4, 2));
    ASSERT_TRUE(inside);
    EXPECT_EQ(inside->pixelWidth(), 4);
    EXPECT_EQ(inside->pixelHeight(), 2);
    EXPECT_EQ(inside->pixels()[0], 0xFF020300u);
    EXPECT_EQ(inside->pixels()[7], 0xFF050400u);

    const auto overhanging = image->cropped(Rect(-5, 6, 8, 100));
    ASSERT_TRUE(overhanging);
    EXPECT_EQ(overhanging->pixelWidth(), 3);
    EXPECT_EQ(overhanging->pixelHeight(), 2);
    EXPECT_EQ(overhanging->pixels()[0], 0xFF000600u);

    // Fractional edges grow to whole pixels.
    const auto fractional = image->cropped(Rect(1.5, 1.5, 1, 1));
    ASSERT_TRUE(fractional);
    EXPECT_EQ(fractional->pixelWidth(), 2);
    EXPECT_EQ(fractional->pixels()[0], 0xFF010100u);

    EXPECT_FALSE(image->cropped(Rect(10, 0, 5, 5)));
    EXPECT_FALSE(image->cropped(Rect(-5, -5, 5, 5)));
    EXPECT_FALSE(image->cropped(Rect(2, 2, 0, 3)));
}

TEST(ImageTest, LargeDownscaleAveragesEveryPixel) {
    // A one-pixel checkerboard must come out evenly grey; sampling only some
    // source pixels would give black and white blotches.
    const int side = 512;
    Image::Pixels pixels;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) pixels.push_back((x + y) % 2 ? 0xFFFFFFFFu : 0xFF000000u);
    }
    const auto small = Image::create(side, side, std::move(pixels))->scaled(Size{13, 11});
    ASSERT_TRUE(small);
    EXPECT_EQ(small->pixelWidth(), 13);
    EXPECT_EQ(small->pixelHeight(), 11);
    for (int y = 0; y < 11; ++y) {
        for (int x = 0; x < 13; ++x) {
            const Color c = small->pixelAt(x, y);
            EXPECT_NEAR(byte(c.red), 128, 6) << x << "," << y;
            EXPECT_EQ(byte(c.alpha), 255) << x << "," << y;
        }
    }
}

TEST(ImageTest, ScalingKeepsEdgesOpaqueAndScale) {
    Image::Pixels pixels(40 * 30, 0xFF336699u);
    const auto image = Image::create(40, 30, std::move(pixels), 2);
    for (const Size target : {Size{17, 9}, Size{100, 77}, Size{40, 30}}) {
        const auto scaled = image->scaled(target);
        ASSERT_TRUE(scaled);
        EXPECT_EQ(scaled->pixelSize(), target);
        EXPECT_EQ(scaled->scale(), 2);
        // Corners would pick up transparency if the edges were not extended.
        for (const auto& [x, y] :
             {std::pair{0, 0}, std::pair{int(target.width) - 1, int(target.height) - 1}}) {
            EXPECT_EQ(scaled->pixels()[size_t(y) * scaled->pixelWidth() + x], 0xFF336699u);
        }
    }
}

TEST(ImageTest, BlurSpreadsDetailAndKeepsFlatAreas) {
    Image::Pixels pixels(31 * 31, 0xFF000000u);
    pixels[15 * 31 + 15] = 0xFFFFFFFFu;
    const auto dot = Image::create(31, 31, std::move(pixels));
    const auto blurred = dot->blurred(3);
    ASSERT_TRUE(blurred);
    const double centre = blurred->pixelAt(15, 15).red;
    const double near = blurred->pixelAt(17, 15).red;
    const double far = blurred->pixelAt(25, 15).red;
    EXPECT_LT(centre, 0.2);
    EXPECT_GT(centre, near);
    EXPECT_GT(near, far);
    EXPECT_GT(near, 0);
    // Symmetric around the dot.
    EXPECT_EQ(blurred->pixelAt(13, 15), blurred->pixelAt(17, 15));
    EXPECT_EQ(blurred->pixelAt(15, 13), blurred->pixelAt(15, 17));

    const auto flat = Image::create(20, 10, Image::Pixels(200, 0xFF204080u))->blurred(5);
    for (std::uint32_t p : flat->pixels()) ASSERT_EQ(p, 0xFF204080u);
}

TEST(ImageTest, DrawMakesAnImageOfPointsAtScale) {
    const auto image = Image::draw(Size{10.5, 4}, 2, [](gfx::Canvas& canvas) {
        canvas.fillRect(Rect(0, 0, 5, 4), Color::fromRGB(0x00FF00));
    });
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 21);
    EXPECT_EQ(image->pixelHeight(), 8);
    EXPECT_EQ(image->scale(), 2);
    EXPECT_EQ(image->pixels()[9], 0xFF00FF00u);
    EXPECT_EQ(image->pixels()[10], 0u);
    EXPECT_FALSE(Image::draw(Size{0, 4}, 2, [](gfx::Canvas&) {}));
}

}  // namespace
