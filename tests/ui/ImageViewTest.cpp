#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "gfx/Bitmap.h"
#include "gfx/GeometryPrinting.h"
#include "ui/ImageView.h"

using gfx::Color;
using gfx::ContentMode;
using gfx::Rect;
using ui::ImageView;

namespace {

const Color kRed = Color::fromRGB(0xFF0000);
const Color kBlue = Color::fromRGB(0x0000FF);
const Color kClear = Color::clear();

// 20 x 10 points at scale 2: the left half red, the right half blue.
gfx::ImagePtr halves() {
    gfx::Image::Pixels pixels;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 40; ++x) {
            pixels.push_back((x < 20 ? kRed : kBlue).premultipliedARGB());
        }
    }
    return gfx::Image::create(40, 20, std::move(pixels), 2);
}

// Draws a 40 x 40 image view placed at x = 20 of an 80 x 40 canvas.
gfx::ImagePtr render(const ImageView& view) {
    const auto bitmap = gfx::Bitmap::create({80, 40}, 1);
    bitmap->canvas().translate(20, 0);
    view.draw(bitmap->canvas(), view.bounds());
    return bitmap->makeImage();
}

std::shared_ptr<ImageView> imageView(ContentMode mode) {
    auto view = std::make_shared<ImageView>(Rect(0, 0, 40, 40));
    view->setImage(halves());
    view->setContentMode(mode);
    return view;
}

TEST(ImageViewTest, StretchesByDefault) {
    const auto view = std::make_shared<ImageView>(Rect(0, 0, 40, 40));
    view->setImage(halves());
    const auto image = render(*view);
    EXPECT_EQ(image->pixelAt(22, 38), kRed);
    EXPECT_EQ(image->pixelAt(58, 1), kBlue);
    EXPECT_EQ(image->pixelAt(10, 20), kClear);
}

TEST(ImageViewTest, AspectFitLeavesBandsEmpty) {
    const auto image = render(*imageView(ContentMode::ScaleAspectFit));
    EXPECT_EQ(image->pixelAt(40, 5), kClear);
    EXPECT_EQ(image->pixelAt(30, 20), kRed);
    EXPECT_EQ(image->pixelAt(50, 20), kBlue);
    EXPECT_EQ(image->pixelAt(40, 35), kClear);
}

TEST(ImageViewTest, AspectFillOverflowsUnlessClipped) {
    const auto view = imageView(ContentMode::ScaleAspectFill);
    auto image = render(*view);
    EXPECT_EQ(image->pixelAt(5, 20), kRed);
    EXPECT_EQ(image->pixelAt(75, 20), kBlue);
    EXPECT_EQ(image->pixelAt(36, 2), kRed);
    EXPECT_EQ(image->pixelAt(44, 2), kBlue);

    view->setClipsToBounds(true);
    image = render(*view);
    EXPECT_EQ(image->pixelAt(5, 20), kClear);
    EXPECT_EQ(image->pixelAt(75, 20), kClear);
    EXPECT_EQ(image->pixelAt(25, 20), kRed);
}

TEST(ImageViewTest, CenterKeepsThePointSize) {
    const auto image = render(*imageView(ContentMode::Center));
    EXPECT_EQ(image->pixelAt(31, 16), kRed);
    EXPECT_EQ(image->pixelAt(48, 24), kBlue);
    EXPECT_EQ(image->pixelAt(29, 20), kClear);
    EXPECT_EQ(image->pixelAt(40, 14), kClear);
}

TEST(ImageViewTest, HighlightedImageReplacesTheImageWhileHighlighted) {
    const auto view = std::make_shared<ImageView>(Rect(0, 0, 40, 40));
    view->setImage(halves());
    view->setHighlighted(true);
    EXPECT_EQ(render(*view)->pixelAt(22, 20), kRed);
    view->setHighlightedImage(
        gfx::Image::create(1, 1, gfx::Image::Pixels(1, kBlue.premultipliedARGB())));
    EXPECT_EQ(render(*view)->pixelAt(22, 20), kBlue);
    EXPECT_EQ(view->intrinsicContentSize(), (gfx::Size{1, 1}));
    view->setHighlighted(false);
    EXPECT_EQ(render(*view)->pixelAt(22, 20), kRed);
}

TEST(ImageViewTest, NaturalSizeIsThePointSize) {
    const auto view = std::make_shared<ImageView>(halves());
    EXPECT_EQ(view->frame(), Rect(0, 0, 20, 10));
    EXPECT_EQ(view->intrinsicContentSize(), (gfx::Size{20, 10}));
    view->setImage(nullptr);
    EXPECT_EQ(view->sizeThatFits({100, 100}), gfx::Size{});
    EXPECT_FALSE(view->isUserInteractionEnabled());
}

}  // namespace

namespace {

// Single black and white pixels: only an average of every pixel gives grey.
gfx::ImagePtr checkerboard(int side) {
    gfx::Image::Pixels pixels;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            pixels.push_back(((x + y) % 2 ? Color::white() : Color::black()).premultipliedARGB());
    return gfx::Image::create(side, side, std::move(pixels));
}

TEST(ImageViewTest, AnImageDrawnSmallerIsAveragedAndPlacedOnWholePixels) {
    // 64 pixels shown over 8: each device pixel is the mean of an 8x8 block,
    // even with the view a fraction of a pixel off the grid.
    const auto view = std::make_shared<ImageView>(Rect(0, 0, 4, 4));
    view->setImage(checkerboard(64));
    for (const double offset : {0.0, 0.3, 0.75}) {
        const auto bitmap = gfx::Bitmap::create({10, 10}, 2);
        bitmap->canvas().translate(offset, offset);
        view->draw(bitmap->canvas(), view->bounds());
        const auto image = bitmap->makeImage();
        const int first = static_cast<int>(std::lround(offset * 2));
        for (int y = first; y < first + 8; ++y)
            for (int x = first; x < first + 8; ++x)
                ASSERT_NEAR(image->pixelAt(x, y).red, 0.5, 0.01) << offset << ": " << x << "," << y;
        EXPECT_EQ(image->pixelAt(first + 8, first + 8), kClear) << offset;
    }
}

TEST(ImageViewTest, TheShrunkCopyFollowsTheImageAndItsSize) {
    const auto view = std::make_shared<ImageView>(Rect(0, 0, 4, 4));
    view->setImage(checkerboard(64));
    const auto draw = [&](double scale) {
        const auto bitmap = gfx::Bitmap::create({4, 4}, scale);
        view->draw(bitmap->canvas(), view->bounds());
        return bitmap->makeImage();
    };
    EXPECT_NEAR(draw(2)->pixelAt(3, 3).red, 0.5, 0.01);
    // A new image is drawn, not the copy of the old one.
    view->setImage(
        gfx::Image::create(64, 64, gfx::Image::Pixels(64 * 64, kRed.premultipliedARGB())));
    EXPECT_EQ(draw(2)->pixelAt(3, 3), kRed);
    // Enlarged, an image is drawn as it is (no copy larger than the image).
    view->setImage(checkerboard(4));
    const auto big = draw(4);
    EXPECT_LT(big->pixelAt(1, 1).red, 0.2);
    EXPECT_GT(big->pixelAt(5, 1).red, 0.8);
}

}  // namespace
