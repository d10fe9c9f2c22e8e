#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "DeviceProfileScope.h"
#include "core/Console.h"
#include "core/FileManager.h"
#include "gfx/Bitmap.h"
#include "gfx/Canvas.h"
#include "gfx/GeometryPrinting.h"
#include "gfx/Image.h"
#include "support/TestEnvironment.h"
#include "ui/Label.h"
#include "ui/Renderer.h"
#include "ui/Window.h"

using gfx::Color;
using gfx::Rect;
using ui::Renderer;
using ui::View;
using ui::Window;

namespace {

struct Rgba {
    int r, g, b, a;
};

int byte(double component) {
    return static_cast<int>(std::lround(component * 255));
}

Rgba at(const gfx::ImagePtr& image, int x, int y) {
    const Color c = image->pixelAt(x, y);
    return {byte(c.red), byte(c.green), byte(c.blue), byte(c.alpha)};
}

void expectPixel(const gfx::ImagePtr& image, int x, int y, Rgba expected) {
    const Rgba actual = at(image, x, y);
    SCOPED_TRACE("pixel " + std::to_string(x) + "," + std::to_string(y));
    EXPECT_NEAR(actual.r, expected.r, 2);
    EXPECT_NEAR(actual.g, expected.g, 2);
    EXPECT_NEAR(actual.b, expected.b, 2);
    EXPECT_NEAR(actual.a, expected.a, 2);
}

constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};
constexpr Rgba kGreen{0, 255, 0, 255};
constexpr Rgba kWhite{255, 255, 255, 255};
constexpr Rgba kClear{0, 0, 0, 0};

std::shared_ptr<View> colored(Rect frame, std::uint32_t rgb) {
    auto view = std::make_shared<View>(frame);
    view->setBackgroundColor(Color::fromRGB(rgb));
    return view;
}

class RendererTest : public testing::Test {
protected:
    void SetUp() override {
        window = std::make_shared<Window>(Rect(0, 0, 40, 40));
        window->setBackgroundColor(Color::white());
    }
    gfx::ImagePtr render() {
        auto image = Renderer::render(*window, 1);
        EXPECT_TRUE(image);
        return image;
    }

    std::shared_ptr<Window> window;
};

TEST_F(RendererTest, BackgroundsInSubviewOrder) {
    window->addSubview(colored({0, 0, 20, 20}, 0xFF0000));
    window->addSubview(colored({10, 10, 20, 20}, 0x0000FF));
    const auto image = render();
    ASSERT_EQ(image->pixelWidth(), 40);
    expectPixel(image, 5, 5, kRed);
    expectPixel(image, 15, 15, kBlue);
    expectPixel(image, 35, 35, kWhite);

    window->setBackgroundColor(std::nullopt);
    expectPixel(render(), 35, 35, kClear);
}

TEST_F(RendererTest, TranslucentViewIsCompositedAsOneLayer) {
    const auto group = std::make_shared<View>(Rect(0, 0, 40, 40));
    group->setAlpha(0.5);
    group->addSubview(colored({0, 0, 30, 30}, 0xFF0000));
    group->addSubview(colored({10, 10, 30, 30}, 0x0000FF));
    window->addSubview(group);
    const auto image = render();
    // Blue covers red inside the layer; the layer is half over white.
    expectPixel(image, 20, 20, {128, 128, 255, 255});
    expectPixel(image, 5, 5, {255, 128, 128, 255});
}

TEST_F(RendererTest, CornerRadiusLeavesCornersOpen) {
    window->setBackgroundColor(std::nullopt);
    const auto round = colored({0, 0, 40, 40}, 0xFF0000);
    round->setCornerRadius(12);
    window->addSubview(round);
    const auto image = render();
    expectPixel(image, 0, 0, kClear);
    expectPixel(image, 39, 39, kClear);
    expectPixel(image, 20, 0, kRed);
    expectPixel(image, 20, 20, kRed);
}

TEST_F(RendererTest, ClippingKeepsSubviewsInsideTheBounds) {
    const auto frameView = std::make_shared<View>(Rect(10, 10, 20, 20));
    frameView->addSubview(colored({-10, -10, 40, 40}, 0x00FF00));
    window->addSubview(frameView);
    expectPixel(render(), 5, 5, kGreen);

    frameView->setClipsToBounds(true);
    auto image = render();
    expectPixel(image, 5, 5, kWhite);
    expectPixel(image, 11, 11, kGreen);

    frameView->setCornerRadius(10);  // a circle
    image = render();
    expectPixel(image, 11, 11, kWhite);
    expectPixel(image, 20, 20, kGreen);
}

TEST_F(RendererTest, TransformsAndBoundsOriginsMoveContent) {
    const auto scaled = colored({10, 10, 10, 10}, 0xFF0000);
    scaled->setTransform(gfx::AffineTransform::scaling(2, 2));  // covers 5...25
    window->addSubview(scaled);
    auto image = render();
    expectPixel(image, 6, 6, kRed);
    expectPixel(image, 24, 24, kRed);
    expectPixel(image, 26, 26, kWhite);
    expectPixel(image, 4, 15, kWhite);

    scaled->removeFromSuperview();
    const auto scroller = std::make_shared<View>(Rect(0, 0, 40, 40));
    scroller->setBounds({0, 20, 40, 40});
    scroller->addSubview(colored({0, 20, 10, 10}, 0x0000FF));
    window->addSubview(scroller);
    image = render();
    expectPixel(image, 5, 5, kBlue);
    expectPixel(image, 5, 25, kWhite);
}

TEST_F(RendererTest, OwnDrawingUsesBoundsCoordinatesAfterLayout) {
    class Painted : public View {
    public:
        using View::View;
        void layoutSubviews() override { setBackgroundColor(Color::fromRGB(0x0000FF)); }
        void draw(gfx::Canvas& canvas, const Rect& rect) const override {
            canvas.fillRect({rect.origin.x, rect.origin.y, 5, 5}, Color::fromRGB(0xFF0000));
        }
    };
    const auto painted = std::make_shared<Painted>(Rect(20, 20, 20, 20));
    painted->setBounds({100, 100, 20, 20});
    window->addSubview(painted);
    const auto image = render();
    expectPixel(image, 21, 21, kRed);
    expectPixel(image, 30, 30, kBlue);
}

TEST_F(RendererTest, HiddenAndInvisibleViewsAreNotDrawn) {
    const auto hidden = colored({0, 0, 20, 20}, 0xFF0000);
    hidden->setHidden(true);
    const auto invisible = colored({20, 20, 20, 20}, 0xFF0000);
    invisible->setAlpha(0);
    invisible->addSubview(colored({0, 0, 10, 10}, 0x00FF00));
    window->addSubview(hidden);
    window->addSubview(invisible);
    const auto image = render();
    expectPixel(image, 5, 5, kWhite);
    expectPixel(image, 25, 25, kWhite);
}

TEST_F(RendererTest, ALabelsShadowFollowsItsGlyphsWithinItsBounds) {
    auto label = std::make_shared<ui::Label>(Rect(4, 8, 32, 24));
    label->setTextAlignment(gfx::TextAlignment::Center);
    label->setFont(gfx::Font::system(16));
    label->setText("■");
    window->addSubview(label);
    const auto plain = render();
    // The glyph's columns and rows in the plain rendering.
    gfx::Rect glyph;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            if (at(plain, x, y).r < 128) glyph = glyph.united(Rect(x, y, 1, 1));
    ASSERT_LT(glyph.width(), 16);
    const int x0 = static_cast<int>(glyph.minX()), x1 = static_cast<int>(glyph.maxX()) - 1;
    const int y0 = static_cast<int>(glyph.minY()), y1 = static_cast<int>(glyph.maxY()) - 1;

    // A sharp red copy 5 points to the right shows beside the glyph only.
    label->setShadow(gfx::Shadow{Color{1, 0, 0, 1}, {5, 0}, 0});
    const auto sharp = render();
    int red0 = 40, red1 = -1;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            if (const Rgba p = at(sharp, x, y); p.r > 200 && p.g < 60) {
                EXPECT_TRUE(y >= y0 && y <= y1) << x << "," << y;
                red0 = std::min(red0, x), red1 = std::max(red1, x);
            }
    EXPECT_NEAR(red0, x1 + 1, 1);
    EXPECT_NEAR(red1, x1 + 5, 1);

    // A blurred black shadow darkens around the glyph, not beyond the label.
    label->setShadow(gfx::Shadow{Color::black(), {0, 0}, 6});
    const auto blurred = render();
    EXPECT_LT(at(blurred, x0 - 2, (y0 + y1) / 2).r, 250);
    EXPECT_EQ(at(plain, x0 - 2, (y0 + y1) / 2).r, 255);
    expectPixel(blurred, 2, (y0 + y1) / 2, kWhite);
}

TEST_F(RendererTest, ARegionIsDrawnAgainOverTheLastFrameAndTheRestKept) {
    const auto left = colored({0, 0, 20, 40}, 0xFF0000);
    const auto right = colored({20, 0, 20, 40}, 0xFF0000);
    window->addSubview(left);
    window->addSubview(right);
    ASSERT_TRUE(Renderer::drawFrame(*window, 2));
    left->setBackgroundColor(Color::fromRGB(0x0000FF));
    right->setBackgroundColor(Color::fromRGB(0x0000FF));

    // Rounded out to whole pixels at the scale.
    gfx::Rect drawn;
    const gfx::Bitmap* frame = Renderer::drawFrame(*window, 2, {10.3, 5, 12.1, 10}, &drawn);
    ASSERT_TRUE(frame);
    EXPECT_EQ(drawn, Rect(20, 10, 25, 20));
    const auto image = frame->makeImage();
    expectPixel(image, 20, 10, kBlue);
    expectPixel(image, 44, 29, kBlue);
    expectPixel(image, 19, 15, kRed);  // outside: the last frame
    expectPixel(image, 45, 15, kRed);
    expectPixel(image, 30, 30, kRed);

    // Cut to the surface; nothing outside it.
    EXPECT_TRUE(Renderer::drawFrame(*window, 2, {30, 30, 50, 50}, &drawn));
    EXPECT_EQ(drawn, Rect(60, 60, 20, 20));
    EXPECT_TRUE(Renderer::drawFrame(*window, 2, {-10, 0, 5, 5}, &drawn));
    EXPECT_TRUE(drawn.isEmpty());

    // Without a last frame at this scale the whole frame is drawn.
    frame = Renderer::drawFrame(*window, 1, {0, 0, 1, 1}, &drawn);
    ASSERT_TRUE(frame);
    EXPECT_EQ(drawn, Rect(0, 0, 40, 40));
    expectPixel(frame->makeImage(), 35, 35, kBlue);

    // A window without a background of its own has the region cleared first.
    window->setBackgroundColor(std::nullopt);
    left->removeFromSuperview();
    frame = Renderer::drawFrame(*window, 1, {0, 0, 10, 10}, &drawn);
    expectPixel(frame->makeImage(), 5, 5, kClear);
    expectPixel(frame->makeImage(), 15, 15, kBlue);
}

TEST_F(RendererTest, DeviceScaleSetsThePixelSize) {
    EXPECT_EQ(Renderer::render(*window)->pixelWidth(), 80);
    const testsupport::DeviceProfileScope profile("phone-x");
    ASSERT_TRUE(profile.selected());
    const auto image = Renderer::render(*window);
    EXPECT_EQ(image->pixelHeight(), 120);
    EXPECT_DOUBLE_EQ(image->scale(), 3);
}

TEST_F(RendererTest, WritesADecodablePNG) {
    window->addSubview(colored({0, 0, 20, 40}, 0x00FF00));
    const std::string path = testsupport::testHome() + "/render.png";
    ASSERT_TRUE(Renderer::writePNG(*window, path));
    const auto bytes = core::FileManager::readFile(path);
    ASSERT_TRUE(bytes);
    const std::string& text = bytes.value();
    const auto image =
        gfx::Image::decode({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 80);
    expectPixel(image, 10, 10, kGreen);
    expectPixel(image, 70, 10, kWhite);

    const core::Console::Capture console;
    EXPECT_FALSE(Renderer::writePNG(*window, testsupport::testHome() + "/missing/render.png"));
    EXPECT_TRUE(console.contains("render.png"));
}

}  // namespace

namespace {

TEST_F(RendererTest, FramesReuseTheWindowsSurfaceAndStartClear) {
    window->setBackgroundColor(std::nullopt);
    window->setFrame(Rect(0, 0, 20, 10));
    auto square = std::make_shared<View>(Rect(0, 0, 5, 5));
    square->setBackgroundColor(Color::fromRGB(0xFF0000));
    window->addSubview(square);

    const gfx::Bitmap* first = Renderer::drawFrame(*window, 2);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->pixelWidth(), 40);
    const auto kept = Renderer::render(*window, 2);  // a copy of its own
    expectPixel(kept, 2, 2, kRed);

    square->removeFromSuperview();
    const gfx::Bitmap* second = Renderer::drawFrame(*window, 2);
    EXPECT_EQ(second, first) << "the same surface, drawn again";
    EXPECT_EQ(second->pixels()[2 * 40 + 2], 0u) << "nothing left of the last frame";
    expectPixel(kept, 2, 2, kRed);

    // An opaque window paints over the whole last frame.
    window->setBackgroundColor(Color::white());
    window->addSubview(square);
    (void)Renderer::drawFrame(*window, 2);
    square->removeFromSuperview();
    EXPECT_EQ(Renderer::drawFrame(*window, 2)->pixels()[2 * 40 + 2], 0xFFFFFFFFu);

    // Another scale or size makes a surface of that size.
    const gfx::Bitmap* third = Renderer::drawFrame(*window, 3);
    EXPECT_EQ(third->pixelWidth(), 60);
    window->setFrame(Rect(0, 0, 30, 10));
    EXPECT_EQ(Renderer::drawFrame(*window, 3)->pixelWidth(), 90);
}

}  // namespace
