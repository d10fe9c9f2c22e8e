// The viewer's cut of the full image and the composed share image, as pure
// functions: the cut's numbers, its clamping, and where the share text and
// the QR picture land, checked on the pixels.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "app/vc/PhotoViewController.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/DeviceProfileScope.h"
#include "ui/ImageAsset.h"
#include "ui/Window.h"

using app::PhotoViewController;

namespace {

const gfx::Size kScreen{375, 667};

void expectRect(const gfx::Rect& rect, double x, double y, double width, double height) {
    EXPECT_NEAR(rect.minX(), x, 0.005);
    EXPECT_NEAR(rect.minY(), y, 0.005);
    EXPECT_NEAR(rect.width(), width, 0.005);
    EXPECT_NEAR(rect.height(), height, 0.005);
}

gfx::ImagePtr solid(int width, int height, gfx::Color color) {
    return gfx::Image::create(
        width, height,
        gfx::Image::Pixels(size_t(width) * size_t(height), color.premultipliedARGB()));
}

bool near(const gfx::Color& a, const gfx::Color& b, double tolerance = 0.02) {
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
           std::abs(a.blue - b.blue) <= tolerance && std::abs(a.alpha - b.alpha) <= tolerance;
}

TEST(VisibleAreaTest, ThePhotoCoversTheWholeScreenOnEveryDevice) {
    testsupport::ManualClockScope clock;
    for (const char* device : {"phone-x", "phone", "pad"}) {
        const testsupport::DeviceProfileScope profile(device);
        ASSERT_TRUE(profile.selected());
        auto window = std::make_shared<ui::Window>();
        auto viewer = std::make_shared<PhotoViewController>();
        window->setRootViewController(viewer);
        window->makeKeyAndVisible();
        viewer->layoutImage(solid(1000, 2000, gfx::Color::black()));
        window->layoutTree();
        const auto& photo = viewer->imageView();
        const gfx::Rect shown = photo->convertRectTo(photo->bounds(), nullptr);
        EXPECT_EQ(shown.minY(), 0) << device;
        EXPECT_EQ(shown.maxY(), window->bounds().maxY()) << device;
        ui::Application::shared().resetForTesting();
    }
}

TEST(VisibleAreaTest, AtZoomOneTheCutIsTheStretchAcrossTheScreenOverTheFullHeight) {
    const gfx::Size image{4000, 6000};
    // Scrolled by 100 points (scrollXValue 200 at scale 2).
    const gfx::Rect scrolled = PhotoViewController::visibleAreaRect(image, {100, 0}, 1.0, kScreen);
    expectRect(scrolled, 899.55, 0, 3373.31, 6000);
    // Past the right edge the cut stops at the image.
    EXPECT_EQ(PhotoViewController::cropRect(scrolled, image), gfx::Rect(899, 0, 3101, 6000));

    const gfx::Rect still = PhotoViewController::visibleAreaRect(image, {0, 0}, 1.0, kScreen);
    expectRect(still, 0, 0, 3373.31, 6000);
    EXPECT_EQ(PhotoViewController::cropRect(still, image), gfx::Rect(0, 0, 3374, 6000));

    // An image narrower than the cut is cut at its right edge.
    const gfx::Size narrow{2000, 6000};
    EXPECT_EQ(PhotoViewController::cropRect(
                  PhotoViewController::visibleAreaRect(narrow, {0, 0}, 1.0, kScreen), narrow),
              gfx::Rect(0, 0, 2000, 6000));
}

TEST(VisibleAreaTest, TheZoomScaleAndTheVerticalOffsetMoveAndShrinkTheCut) {
    const gfx::Size image{4000, 6000};
    // At zoom 2 a screen shows half as many image pixels each way.
    const gfx::Rect zoomed = PhotoViewController::visibleAreaRect(image, {300, 400}, 2.0, kScreen);
    const double perPoint = 6000.0 / (667.0 * 2.0);
    expectRect(zoomed, 300 * perPoint, 400 * perPoint, 375 * perPoint, 3000);
    EXPECT_EQ(PhotoViewController::cropRect(zoomed, image), zoomed.integral());

    // Scrolled down at zoom 1, the bottom is cut at the image.
    const gfx::Rect lowered = PhotoViewController::visibleAreaRect(image, {0, 50}, 1.0, kScreen);
    expectRect(lowered, 0, 449.78, 3373.31, 6000);
    EXPECT_EQ(PhotoViewController::cropRect(lowered, image), gfx::Rect(0, 449, 3374, 5551));
}

TEST(VisibleAreaTest, ACutOutsideTheImageOrFromBadInputFallsBackToTheWholeImage) {
    const gfx::Size image{4000, 6000};
    const gfx::Rect whole(0, 0, 4000, 6000);
    const gfx::Rect beyond = PhotoViewController::visibleAreaRect(image, {5000, 0}, 1.0, kScreen);
    EXPECT_GT(beyond.minX(), 4000);
    EXPECT_EQ(PhotoViewController::cropRect(beyond, image), whole);
    EXPECT_EQ(PhotoViewController::cropRect(
                  PhotoViewController::visibleAreaRect(image, {-9000, -9000}, 1.0, kScreen), image),
              whole);

    EXPECT_TRUE(PhotoViewController::visibleAreaRect(image, {0, 0}, 0.0, kScreen).isEmpty());
    EXPECT_TRUE(PhotoViewController::visibleAreaRect({4000, 0}, {0, 0}, 1.0, kScreen).isEmpty());
    EXPECT_TRUE(PhotoViewController::visibleAreaRect(image, {0, 0}, 1.0, {375, 0}).isEmpty());
    EXPECT_EQ(PhotoViewController::cropRect({}, image), whole);
}

TEST(ShareImageTest, TheTextBlockAndTheCodeSitAtTheirPlacesInA3373By6000Image) {
    const gfx::Color blue = gfx::Color::fromRGB(0x0000FF);
    const auto qr = ui::imageNamed("qr_code");
    ASSERT_TRUE(qr);
    const auto composed = PhotoViewController::composeShareImage(solid(3373, 6000, blue), qr);
    ASSERT_TRUE(composed);
    ASSERT_EQ(composed->pixelSize(), (gfx::Size{3373, 6000}));
    EXPECT_EQ(composed->pixelAt(100, 100), blue);

    // The code's white margin fills (2993, 5650) to (3293, 5950) exactly.
    const gfx::Color white = gfx::Color::white();
    for (const auto& [x, y] : {std::pair{2993, 5650}, {3292, 5650}, {2993, 5949}, {3292, 5949}})
        EXPECT_TRUE(near(composed->pixelAt(x, y), white)) << x << "," << y;
    for (const auto& [x, y] : {std::pair{2992, 5800}, {3293, 5800}, {3140, 5649}, {3140, 5950}})
        EXPECT_EQ(composed->pixelAt(x, y), blue) << x << "," << y;
    // Inside, the picture stretched over the square, checked where it is
    // even around a point.
    const double step = qr->pixelWidth() / 300.0;
    int checked = 0;
    for (int y = 10; y < 300; y += 7) {
        for (int x = 10; x < 300; x += 7) {
            const int qx = int(x * step);
            const int qy = int(y * step);
            const gfx::Color source = qr->pixelAt(qx, qy);
            const int reach = int(std::ceil(2 * step));
            if (!near(qr->pixelAt(qx - reach, qy - reach), source) ||
                !near(qr->pixelAt(qx + reach, qy + reach), source))
                continue;
            ++checked;
            EXPECT_TRUE(near(composed->pixelAt(2993 + x, 5650 + y), source, 0.05)) << x << "," << y;
        }
    }
    EXPECT_GT(checked, 500);

    // The text is the only light ink left of the code: its box starts at
    // (2343, 5720) and stays inside the measured block.
    const gfx::TextLayout layout = PhotoViewController::shareTextLayout();
    const gfx::Size block = layout.size();
    int minX = 99999, minY = 99999, maxX = -1, maxY = -1;
    for (int y = 5000; y < 6000; ++y) {
        for (int x = 1500; x < 2993; ++x) {
            if (composed->pixelAt(x, y).red < 0.5) continue;
            minX = std::min(minX, x);
            minY = std::min(minY, y);
            maxX = std::max(maxX, x);
            maxY = std::max(maxY, y);
        }
    }
    ASSERT_GE(maxX, 0) << "no text drawn";
    EXPECT_GE(minX, 2343);
    EXPECT_LE(minX, 2343 + 10);
    EXPECT_GE(minY, 5720);
    EXPECT_LE(minY, 5720 + layout.lineRects()[0].height() / 2);
    EXPECT_LE(maxX, 2343 + block.width);
    EXPECT_GE(maxX, 2343 + block.width - 30) << "the last line, without a blank, ends at the right";
    EXPECT_LE(maxY, 5720 + block.height);
}

TEST(ShareImageTest, TheThreeLinesAreRightAlignedInTheMeasuredBlock) {
    const gfx::TextLayout layout = PhotoViewController::shareTextLayout();
    ASSERT_EQ(layout.lineCount(), 3) << "the measured width wraps no line";
    const auto& lines = layout.lineRects();
    ASSERT_EQ(lines.size(), 3u);
    for (const auto& line : lines) EXPECT_NEAR(line.maxX(), layout.size().width, 0.01);
    EXPECT_LT(lines[0].width(), lines[1].width());
    EXPECT_GT(lines[0].minX(), lines[1].minX());
    // 6 points of line spacing between the lines.
    EXPECT_NEAR(lines[1].minY(), lines[0].maxY() + 6, 0.01);
}

// The box of light ink in the composed image left of x = limit; minX < 0
// when there is none.
struct InkBox {
    int minX = -1, minY = -1, maxX = -1, maxY = -1;
};
InkBox lightInk(const gfx::ImagePtr& image, int limit) {
    InkBox box;
    for (int y = 0; y < image->pixelHeight(); ++y) {
        for (int x = 0; x < std::min(limit, image->pixelWidth()); ++x) {
            if (image->pixelAt(x, y).red < 0.5) continue;
            box.minX = box.minX < 0 ? x : std::min(box.minX, x);
            box.minY = box.minY < 0 ? y : std::min(box.minY, y);
            box.maxX = std::max(box.maxX, x);
            box.maxY = std::max(box.maxY, y);
        }
    }
    return box;
}

TEST(ShareImageTest, ANarrowImageKeepsTheWholeTextInsideBesideTheCode) {
    const gfx::Color blue = gfx::Color::fromRGB(0x0000FF);
    const double margin = PhotoViewController::kShareTextMargin;
    const gfx::Size block = PhotoViewController::shareTextLayout().size();

    // 900 pixels wide: at its own place the block would start at -130.
    const auto composed = PhotoViewController::composeShareImage(
        solid(900, 1600, blue), ui::imageNamed("qr_code"));
    ASSERT_TRUE(composed);
    const int codeLeft = 900 - 380;
    const InkBox ink = lightInk(composed, codeLeft);
    ASSERT_GE(ink.minX, 0) << "no text drawn";
    EXPECT_GE(ink.minX, margin);
    EXPECT_LE(ink.minX, margin + 12) << "the block starts at the margin";
    EXPECT_LT(ink.maxX, codeLeft - 10) << "the text stays clear of the code";
    // Its bottom stays where the wide layout has it, beside the code.
    EXPECT_LE(ink.maxY, 1600 - 280 + block.height);
    EXPECT_GT(ink.maxY, 1600 - 280 + block.height - 40);

    const auto placed = PhotoViewController::placeShareText({900, 1600});
    ASSERT_EQ(placed.layout.lineCount(), 3);
    EXPECT_FALSE(placed.layout.isTruncated());
    EXPECT_GE(placed.origin.x, margin);
    EXPECT_NEAR(placed.origin.x + placed.layout.size().width, 900 - 1030 + block.width, 0.01);
    EXPECT_GT(placed.layout.size().width, block.width * 0.6) << "shrunk no more than needed";
}

TEST(ShareImageTest, TheWideLayoutHoldsWhileTheMarginIsLeft) {
    const double margin = PhotoViewController::kShareTextMargin;
    const gfx::Size block = PhotoViewController::shareTextLayout().size();
    const double edge = 1030 + margin;
    for (const double width : {edge, edge + 1, 2000.0, 3373.0}) {
        const auto placed = PhotoViewController::placeShareText({width, 6000});
        EXPECT_EQ(placed.origin, (gfx::Point{width - 1030, 6000 - 280})) << width;
        EXPECT_EQ(placed.layout.size(), block) << width;
    }
    const auto narrower = PhotoViewController::placeShareText({edge - 1, 6000});
    EXPECT_EQ(narrower.origin.x + narrower.layout.size().width, edge - 1 - 1030 + block.width);
    EXPECT_GE(narrower.origin.x, margin);
    EXPECT_LT(narrower.layout.size().width, block.width);
}

TEST(ShareImageTest, WithNoRoomBesideTheCodeTheTextGoesAboveIt) {
    const double margin = PhotoViewController::kShareTextMargin;
    const double codeTop = 900 - PhotoViewController::kQrCodeBottom;
    for (const double width : {600.0, 420.0, 200.0}) {
        const auto placed = PhotoViewController::placeShareText({width, 900});
        EXPECT_GE(placed.origin.x, margin) << width;
        EXPECT_NEAR(placed.origin.x + placed.layout.size().width, width - margin, 0.01) << width;
        EXPECT_LE(placed.origin.y + placed.layout.size().height, codeTop) << width;
        EXPECT_EQ(placed.layout.lineCount(), 3) << width;
    }
    const gfx::Color blue = gfx::Color::fromRGB(0x0000FF);
    const auto composed = PhotoViewController::composeShareImage(solid(600, 900, blue),
                                                                 ui::imageNamed("qr_code"));
    ASSERT_TRUE(composed);
    // Only the text is light above the code.
    InkBox ink;
    for (int y = 0; y < int(codeTop); ++y) {
        for (int x = 0; x < 600; ++x) {
            if (composed->pixelAt(x, y).red < 0.5) continue;
            ink.minX = ink.minX < 0 ? x : std::min(ink.minX, x);
            ink.maxX = std::max(ink.maxX, x);
            ink.maxY = std::max(ink.maxY, y);
        }
    }
    ASSERT_GE(ink.minX, 0) << "no text above the code";
    EXPECT_GE(ink.minX, margin);
    EXPECT_LE(ink.maxX, 600 - margin);
    EXPECT_GT(ink.maxY, codeTop - 40) << "the text sits just above the code";
}

TEST(ShareImageTest, WithoutTheCodeOnlyTheTextIsAdded) {
    const gfx::Color blue = gfx::Color::fromRGB(0x0000FF);
    const auto composed = PhotoViewController::composeShareImage(solid(3373, 6000, blue), nullptr);
    ASSERT_TRUE(composed);
    for (int y = 5650; y < 5950; y += 25)
        for (int x = 2993; x < 3293; x += 25) EXPECT_EQ(composed->pixelAt(x, y), blue);
    EXPECT_EQ(PhotoViewController::composeShareImage(nullptr, nullptr), nullptr);
}

}  // namespace
