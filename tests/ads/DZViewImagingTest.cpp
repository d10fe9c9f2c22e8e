#include <gtest/gtest.h>

#include <cmath>

#include "ads/foundation/DZIcons.h"
#include "ads/foundation/DZViewImaging.h"
#include "ads/foundation/DZWiggleGestureRecognizer.h"
#include "core/RunLoop.h"
#include "ui/Window.h"
#include "web/WebView.h"

using namespace ads;

namespace {

gfx::ImagePtr solid(int width, int height, gfx::Color color) {
    return gfx::Image::create(
        width, height, gfx::Image::Pixels(size_t(width * height), color.premultipliedARGB()));
}

gfx::ImagePtr withOthers(int total, int others, gfx::Color color, gfx::Color other) {
    gfx::Image::Pixels pixels(size_t(total), color.premultipliedARGB());
    // Spread the odd pixels out so that the early stop cannot trigger.
    for (int i = 0; i < others; ++i) {
        pixels[size_t(total - 1 - i * (total / std::max(others, 1)))] = other.premultipliedARGB();
    }
    return gfx::Image::create(total, 1, pixels);
}

}  // namespace

TEST(DZViewImaging, BackgroundRatioComparesPremultipliedPixels) {
    const gfx::Color white = gfx::Color::white();
    EXPECT_EQ(DZBackgroundPixelRatio(solid(4, 4, white).get(), white), 1.0);
    // A translucent colour matches its own premultiplied rendering.
    const gfx::Color veil{0.2, 0.4, 0.6, 0.5};
    EXPECT_EQ(DZBackgroundPixelRatio(solid(3, 3, veil).get(), veil), 1.0);
    // No colour counts as clear.
    EXPECT_EQ(DZBackgroundPixelRatio(solid(2, 2, gfx::Color::clear()).get(), std::nullopt), 1.0);

    EXPECT_DOUBLE_EQ(
        *DZBackgroundPixelRatio(withOthers(100, 5, white, gfx::Color::black()).get(), white), 0.95);
    EXPECT_EQ(DZBackgroundPixelRatio(withOthers(100, 20, white, gfx::Color::black()).get(), white),
              0.0);
    // The first pixel differing already makes more than a tenth.
    auto pixels = gfx::Image::Pixels(50, white.premultipliedARGB());
    pixels[0] = gfx::Color::black().premultipliedARGB();
    EXPECT_EQ(DZBackgroundPixelRatio(gfx::Image::create(50, 1, pixels).get(), white), 0.0);

    EXPECT_EQ(DZBackgroundPixelRatio(nullptr, white), std::nullopt);
}

TEST(DZViewImaging, ContentCountsAsRenderedWhenMoreThanATenthDiffers) {
    auto view = std::make_shared<ui::View>(gfx::Rect(0, 0, 40, 40));
    view->setBackgroundColor(gfx::Color::white());
    EXPECT_FALSE(DZIsViewContentRendered(view.get()));

    auto small = std::make_shared<ui::View>(gfx::Rect(36, 36, 4, 4));  // 1%, seen last
    small->setBackgroundColor(gfx::Color::black());
    view->addSubview(small);
    EXPECT_FALSE(DZIsViewContentRendered(view.get()));

    auto big = std::make_shared<ui::View>(gfx::Rect(0, 0, 40, 20));
    big->setBackgroundColor(gfx::Color{1, 0, 0, 1});
    view->addSubview(big);
    EXPECT_TRUE(DZIsViewContentRendered(view.get()));
    big->setHidden(true);
    EXPECT_FALSE(DZIsViewContentRendered(view.get()));
    // The walk stops at the first pixels: a differing top-left corner is
    // enough.
    small->setFrame({0, 0, 4, 4});
    EXPECT_TRUE(DZIsViewContentRendered(view.get()));

    const auto snapshot = DZViewSnapshotImage(view.get());
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->size(), (gfx::Size{40, 40}));

    auto empty = std::make_shared<ui::View>(gfx::Rect(0, 0, 0, 0));
    EXPECT_EQ(DZViewSnapshotImage(empty.get()), nullptr);
    EXPECT_FALSE(DZIsViewContentRendered(empty.get()));
    EXPECT_FALSE(DZIsViewContentRendered(nullptr));
    EXPECT_EQ(DZViewSnapshotImage(nullptr), nullptr);
}

TEST(DZViewImaging, FreshWebContentShowsThePageAsItIsNow) {
    const auto wait = [](const std::function<bool()>& done) {
        return core::RunLoop::main().runUntil(done, 20);
    };
    const gfx::Color red{1, 0, 0, 1};
    const gfx::Color blue{0, 0, 1, 1};
    auto container = std::make_shared<ui::View>(gfx::Rect(0, 0, 40, 40));
    std::string error;
    const auto page = web::WebView::create({0, 0, 40, 40}, {}, &error);
    ASSERT_TRUE(page) << error;
    container->addSubview(page);
    page->loadHTMLString("<body style='margin:0;background:#f00'></body>",
                         core::URL::create("https://ad.example/"));
    ASSERT_TRUE(wait([&] { return !page->isLoading() && page->isRendered(); }));
    ASSERT_TRUE(wait([&] { return web::WebView::pendingSnapshotCount() == 0; }));

    bool repainted = false;
    page->evaluateJavaScript("document.body.style.background = '#00f'",
                             [&](web::JSResult) { repainted = true; });
    ASSERT_TRUE(wait([&] { return repainted; }));
    EXPECT_EQ(DZBackgroundPixelRatio(DZViewSnapshotImage(container.get()).get(), red), 1.0)
        << "the plain snapshot draws the page as it was last snapped";

    gfx::ImagePtr fresh;
    DZRenderViewWithFreshWebContent(container, [&](gfx::ImagePtr image) { fresh = image; });
    ASSERT_TRUE(wait([&] { return fresh != nullptr; }));
    EXPECT_EQ(DZBackgroundPixelRatio(fresh.get(), blue), 1.0);

    // Without web views the image comes at once.
    gfx::ImagePtr plain;
    DZRenderViewWithFreshWebContent(std::make_shared<ui::View>(gfx::Rect(0, 0, 4, 4)),
                                    [&](gfx::ImagePtr image) { plain = image; });
    EXPECT_TRUE(plain);
}

namespace {

struct WiggleStage {
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 320, 480));
    std::shared_ptr<DZWiggleGestureRecognizer> recognizer;
    int recognized = 0;

    WiggleStage() {
        recognizer = std::make_shared<DZWiggleGestureRecognizer>([this](ui::GestureRecognizer& r) {
            if (r.state() == ui::GestureState::Recognized) ++recognized;
        });
        window->addGestureRecognizer(recognizer);
    }

    // Moves one finger by the given horizontal legs (1-point steps in x
    // with the given vertical jitter on one step), then lifts it.
    ui::GestureState wiggle(const std::vector<double>& legs, double jitter = 0) {
        gfx::Point at{100, 200};
        auto touch = window->touchDown(at);
        bool jittered = false;
        for (double leg : legs) {
            const double step = leg > 0 ? 1 : -1;
            for (double moved = 0; moved < std::fabs(leg); moved += 1) {
                at.x += step;
                if (jitter != 0 && !jittered) {
                    at.y += jitter;
                    jittered = true;
                }
                window->touchMove(touch, at);
            }
        }
        const ui::GestureState before = recognizer->state();
        window->touchUp(touch, at);
        return before == ui::GestureState::Failed ? before : recognizer->state();
    }
};

}  // namespace

TEST(DZWiggleGestureRecognizer, RightLeftRightLeftThenLiftIsRecognised) {
    WiggleStage stage;
    stage.wiggle({20, -20, 20, -1});
    EXPECT_EQ(stage.recognized, 1);
    EXPECT_EQ(stage.recognizer->gestureState(), 0);  // reset for the next one
    stage.wiggle({15, -15, 15, -30});
    EXPECT_EQ(stage.recognized, 2);
}

TEST(DZWiggleGestureRecognizer, ShortLegsWrongStartsJitterAndExtraLegsFail) {
    WiggleStage stage;
    EXPECT_EQ(stage.wiggle({20, -10, 20, -20}), ui::GestureState::Failed);  // second reversal
    EXPECT_EQ(stage.wiggle({14, -20, 20, -20}), ui::GestureState::Failed);
    EXPECT_EQ(stage.wiggle({-20, 20, -20, 20}), ui::GestureState::Failed);
    EXPECT_EQ(stage.wiggle({20, -20, 20, -20, 5}), ui::GestureState::Failed);
    stage.wiggle({20, -20, 20});  // lifted too early
    EXPECT_EQ(stage.wiggle({20, -20, 20, -20}, 6), ui::GestureState::Failed);
    EXPECT_EQ(stage.recognized, 0);
    // A 5-point jitter is still allowed.
    stage.wiggle({20, -20, 20, -20}, 5);
    EXPECT_EQ(stage.recognized, 1);

    EXPECT_TRUE(DZWiggleGestureRecognizer::isMovementInYAxis({0, 5.5}, {0, 0}));
    EXPECT_FALSE(DZWiggleGestureRecognizer::isMovementInYAxis({9, 5}, {0, 0}));
}

TEST(DZWiggleGestureRecognizer, ASecondFingerFailsIt) {
    WiggleStage stage;
    auto first = stage.window->touchDown({100, 200});
    auto second = stage.window->touchDown({150, 200});
    EXPECT_EQ(stage.recognizer->state(), ui::GestureState::Failed);
    stage.window->touchUp(second, {150, 200});
    stage.window->touchUp(first, {100, 200});
    EXPECT_EQ(stage.recognized, 0);
}

TEST(DZIcons, PixelSizesScalesAndInk) {
    for (const auto& icon : {DZBackButtonImage(), DZForwardButtonImage()}) {
        ASSERT_TRUE(icon);
        EXPECT_EQ(icon->pixelSize(), (gfx::Size{54, 54}));
        EXPECT_EQ(icon->size(), (gfx::Size{27, 27}));
        EXPECT_LT(*DZBackgroundPixelRatio(icon.get(), gfx::Color::clear()), 1.0);
    }
    // The arrows point opposite ways.
    EXPECT_NE(DZBackButtonImage()->encodePng(), DZForwardButtonImage()->encodePng());
    EXPECT_EQ(DZBackButtonImage(), DZBackButtonImage());
    const auto close = DZCloseIconImage();
    EXPECT_EQ(close->pixelSize(), (gfx::Size{50, 50}));
    EXPECT_EQ(close->scale(), 2.0);
    const auto blank = DZImageByDrawing();
    EXPECT_EQ(blank->pixelSize(), (gfx::Size{10, 10}));
    EXPECT_EQ(blank->scale(), 1.0);
    EXPECT_EQ(DZBackgroundPixelRatio(blank.get(), std::nullopt), 1.0);
}
