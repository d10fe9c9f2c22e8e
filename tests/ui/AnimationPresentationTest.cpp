// What the renderer draws while views animate, on the test clock: the
// model takes its end value at once, the picture moves.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/RunLoop.h"
#include "gfx/Image.h"
#include "support/ManualClockScope.h"
#include "ui/Renderer.h"
#include "ui/ScrollView.h"
#include "ui/Window.h"

using gfx::Color;
using gfx::Rect;
using ui::Renderer;
using ui::View;
using ui::Window;

namespace {

struct Rgb {
    int r, g, b;
};

Rgb pixel(const gfx::ImagePtr& image, int x, int y) {
    const Color c = image->pixelAt(x, y);
    return {int(std::lround(c.red * 255)), int(std::lround(c.green * 255)),
            int(std::lround(c.blue * 255))};
}

void expectNear(const gfx::ImagePtr& image, int x, int y, Rgb expected,
                const std::string& note = {}) {
    constexpr int tolerance = 3;
    const Rgb actual = pixel(image, x, y);
    SCOPED_TRACE("pixel " + std::to_string(x) + "," + std::to_string(y) + " " + note);
    EXPECT_NEAR(actual.r, expected.r, tolerance);
    EXPECT_NEAR(actual.g, expected.g, tolerance);
    EXPECT_NEAR(actual.b, expected.b, tolerance);
}

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kWhite{255, 255, 255};

class AnimationPresentationTest : public testing::Test {
protected:
    void SetUp() override {
        window = std::make_shared<Window>(Rect(0, 0, 200, 40));
        window->setBackgroundColor(Color::white());
    }
    std::shared_ptr<View> add(Rect frame, std::uint32_t rgb) {
        auto view = std::make_shared<View>(frame);
        view->setBackgroundColor(Color::fromRGB(rgb));
        window->addSubview(view);
        return view;
    }
    gfx::ImagePtr render() {
        auto image = Renderer::render(*window, 1);
        EXPECT_TRUE(image);
        return image;
    }
    // Runs what the clock has made due (completions).
    void advance(double seconds) {
        clock.advance(seconds);
        core::RunLoop::main().runOnce();
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<Window> window;
};

TEST_F(AnimationPresentationTest, ACrossFadeShowsBothColoursHalfwayAndOnlyTheNewAtTheEnd) {
    add({0, 0, 40, 40}, 0xFF0000);
    const auto next = add({0, 0, 40, 40}, 0x0000FF);
    next->setAlpha(0);
    View::animate(0.5, [&] { next->setAlpha(1); });
    EXPECT_DOUBLE_EQ(next->alpha(), 1) << "the model ends at once";

    expectNear(render(), 20, 20, kRed);
    advance(0.25);
    EXPECT_NEAR(next->presentationAlpha(), 0.5, 1e-6);
    expectNear(render(), 20, 20, {128, 0, 128});
    advance(0.25);
    expectNear(render(), 20, 20, kBlue);
    EXPECT_FALSE(next->isAnimating());
}

TEST_F(AnimationPresentationTest, AFrameMovesAlongTheCurveAsked) {
    const auto view = add({0, 0, 10, 40}, 0xFF0000);
    View::animate(1.0, [&] { view->setFrame({100, 0, 10, 40}); });
    EXPECT_EQ(view->frame(), Rect(100, 0, 10, 40));

    advance(0.25);
    // Ease in and out: a quarter of the way in time is well short of a
    // quarter of the distance.
    const double quarter = view->presentationCenter().x - 5;
    EXPECT_GT(quarter, 10);
    EXPECT_LT(quarter, 15);
    auto image = render();
    expectNear(image, int(quarter) + 5, 20, kRed);
    expectNear(image, 30, 20, kWhite);  // where a linear curve would be
    advance(0.25);
    image = render();
    expectNear(image, 52, 20, kRed);
    expectNear(image, 48, 20, kWhite);
    expectNear(image, 61, 20, kWhite);
    advance(0.5);
    expectNear(render(), 105, 20, kRed);

    const auto curveAt = [&](ui::AnimationCurve curve) {
        view->setFrame({0, 0, 10, 40});
        View::animate(
            1.0, [&] { view->setFrame({100, 0, 10, 40}); }, {}, {.curve = curve});
        advance(0.25);
        const double x = view->presentationCenter().x - 5;
        advance(0.75);
        return x;
    };
    EXPECT_NEAR(curveAt(ui::AnimationCurve::Linear), 25, 1e-6);
    EXPECT_LT(curveAt(ui::AnimationCurve::EaseIn), 15);
    EXPECT_GT(curveAt(ui::AnimationCurve::EaseOut), 35);
}

TEST_F(AnimationPresentationTest, ALaterAnimationTakesOverFromWhatIsOnScreen) {
    const auto view = add({0, 0, 10, 40}, 0xFF0000);
    std::vector<bool> first;
    std::vector<bool> second;
    View::animate(
        1.0, [&] { view->setFrame({100, 0, 10, 40}); },
        [&](bool finished) { first.push_back(finished); },
        {.curve = ui::AnimationCurve::Linear});
    advance(0.5);
    View::animate(
        1.0, [&] { view->setFrame({0, 0, 10, 40}); },
        [&](bool finished) { second.push_back(finished); },
        {.curve = ui::AnimationCurve::Linear});
    EXPECT_NEAR(view->presentationCenter().x, 55, 1e-6) << "no jump to either end";
    // Set twice in one block (as a layout pass inside one may): no takeover.
    bool again = false;
    const auto other = add({0, 0, 10, 10}, 0x0000FF);
    View::animate(
        1.0,
        [&] {
            other->setAlpha(0.5);
            other->setAlpha(0.2);
        },
        [&](bool finished) { again = finished; });
    advance(0.5);
    EXPECT_NEAR(view->presentationCenter().x, 30, 1e-6);
    EXPECT_EQ(first, std::vector<bool>{false}) << "on its own time, not finished";
    EXPECT_TRUE(second.empty());
    advance(0.5);
    EXPECT_EQ(second, std::vector<bool>{true});
    EXPECT_TRUE(again);
    EXPECT_NEAR(view->presentationCenter().x, 5, 1e-6);

    // Beginning from the current state, the earlier one runs on through the
    // delay and the later one starts where it got to.
    View::animate(
        1.0, [&] { view->setFrame({100, 0, 10, 40}); }, {}, {.curve = ui::AnimationCurve::Linear});
    advance(0.25);
    View::animate(
        1.0, [&] { view->setFrame({0, 0, 10, 40}); }, {},
        {.delay = 0.25, .curve = ui::AnimationCurve::Linear, .beginFromCurrentState = true});
    advance(0.125);
    EXPECT_NEAR(view->presentationCenter().x, 42.5, 1e-6);
    advance(0.125);
    EXPECT_NEAR(view->presentationCenter().x, 55, 1e-6);
    advance(0.5);
    EXPECT_NEAR(view->presentationCenter().x, 30, 1e-6);

    // A change made without an animation shows at once.
    view->setFrame({150, 0, 10, 40});
    EXPECT_FALSE(view->isAnimating());
    expectNear(render(), 155, 20, kRed);
}

TEST_F(AnimationPresentationTest, ASpringOvershootsWithLittleDampingAndLandsOnTheEnd) {
    const auto view = add({0, 0, 10, 40}, 0xFF0000);
    const auto peak = [&](double damping, double velocity) {
        view->setCenter({0, 20});
        View::animateWithSpring(1.0, damping, velocity, [&] { view->setCenter({100, 20}); });
        double highest = 0;
        double first = 0;
        for (int step = 1; step < 100; ++step) {
            advance(0.01);
            if (step == 1) first = view->presentationCenter().x;
            highest = std::max(highest, view->presentationCenter().x);
        }
        advance(0.05);
        EXPECT_DOUBLE_EQ(view->presentationCenter().x, 100);
        return std::pair{highest, first};
    };
    EXPECT_GT(peak(0.3, 0).first, 110);
    EXPECT_LE(peak(1.0, 0).first, 100.0001);
    EXPECT_GT(peak(1.0, 20).second, peak(1.0, 0).second) << "initial velocity starts it faster";
}

TEST_F(AnimationPresentationTest, NestedBlocksAndEveryPropertyMoveOnTheOuterTiming) {
    const auto view = add({0, 0, 40, 40}, 0xFF0000);
    View::animate(
        1.0,
        [&] {
            View::animate(0.1, [&] {
                view->setBackgroundColor(Color::fromRGB(0x0000FF));
                view->setTransform(gfx::AffineTransform::translation(40, 0));
                view->setBounds({0, 0, 20, 40});
            });
        },
        {}, {.curve = ui::AnimationCurve::Linear});
    advance(0.5);
    EXPECT_NEAR(view->presentationTransform().tx, 20, 1e-6);
    EXPECT_NEAR(view->presentationBounds().width(), 30, 1e-6);
    // Centre 20 moved by 20, 30 wide: 25...55, half way between the colours.
    const auto image = render();
    expectNear(image, 40, 20, {128, 0, 128});
    expectNear(image, 23, 20, kWhite);
    expectNear(image, 57, 20, kWhite);

    bool done = false;
    View::animate(
        1.0, [&] { View::performWithoutAnimation([&] { view->setAlpha(0.5); }); },
        [&](bool) { done = true; });
    EXPECT_DOUBLE_EQ(view->presentationAlpha(), 0.5);
    advance(1.0);
    EXPECT_TRUE(done);
}

TEST_F(AnimationPresentationTest, AScrollViewsOffsetMovesItsContent) {
    const auto scroll = std::make_shared<ui::ScrollView>(Rect(0, 0, 200, 40));
    scroll->setContentSize({400, 40});
    window->addSubview(scroll);
    const auto content = std::make_shared<View>(Rect(100, 0, 20, 40));
    content->setBackgroundColor(Color::fromRGB(0xFF0000));
    scroll->addSubview(content);
    View::animate(
        1.0, [&] { scroll->setContentOffset({100, 0}); }, {},
        {.curve = ui::AnimationCurve::Linear});
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{100, 0}));
    advance(0.5);
    const auto image = render();
    expectNear(image, 60, 20, kRed);
    expectNear(image, 5, 20, kWhite);
}

TEST_F(AnimationPresentationTest, TheWindowNeedsFramesWhileAnythingMovesAndThenRests) {
    const auto view = add({0, 0, 10, 40}, 0xFF0000);
    (void)render();
    window->clearNeedsDisplay();
    EXPECT_FALSE(window->needsDisplay());
    View::animate(0.5, [&] { view->setCenter({100, 20}); });
    for (int frame = 0; frame < 3; ++frame) {
        window->clearNeedsDisplay();
        EXPECT_TRUE(window->needsDisplay()) << "frame " << frame;
        EXPECT_FALSE(window->needsDisplayRect()) << "all of it";
        advance(0.2);
    }
    window->clearNeedsDisplay();
    EXPECT_FALSE(window->needsDisplay()) << "a frame was drawn after the end";
}

TEST_F(AnimationPresentationTest, MovingViewsTakeTouchesOnlyWhenTheAnimationAllowsIt) {
    const auto view = add({0, 0, 40, 40}, 0xFF0000);
    const auto inner = std::make_shared<View>(Rect(10, 10, 20, 20));
    view->addSubview(inner);
    EXPECT_EQ(window->hitTest({20, 20}), inner);
    View::animate(0.5, [&] { view->setCenter({30, 20}); });
    EXPECT_EQ(window->hitTest({20, 20}), window) << "the touch goes to what is behind";
    advance(0.5);
    EXPECT_EQ(window->hitTest({20, 20}), inner);
    View::animate(
        0.5, [&] { view->setCenter({20, 20}); }, {}, {.allowUserInteraction = true});
    EXPECT_EQ(window->hitTest({20, 20}), inner);
}

}  // namespace

namespace {

// A 100x40 view that clips, showing two colours side by side.
class LayerTransitionDrawingTest : public AnimationPresentationTest {
protected:
    void SetUp() override {
        AnimationPresentationTest::SetUp();
        holder = add({0, 0, 100, 40}, 0xFFFFFF);
        holder->setClipsToBounds(true);
    }
    void show(std::uint32_t left, std::uint32_t right) {
        if (content) content->removeFromSuperview();
        content = std::make_shared<View>(Rect(0, 0, 100, 40));
        const auto leftHalf = std::make_shared<View>(Rect(0, 0, 50, 40));
        leftHalf->setBackgroundColor(Color::fromRGB(left));
        const auto rightHalf = std::make_shared<View>(Rect(50, 0, 50, 40));
        rightHalf->setBackgroundColor(Color::fromRGB(right));
        content->addSubview(leftHalf);
        content->addSubview(rightHalf);
        holder->addSubview(content);
    }
    // The old content red|green drawn, then the new blue|black put in with
    // the transition; the picture at its middle.
    gfx::ImagePtr middleOf(ui::LayerTransition::Type type, ui::LayerTransition::Subtype subtype) {
        show(0xFF0000, 0x00FF00);
        (void)render();
        show(0x0000FF, 0x000000);
        holder->addTransition({type, subtype, 1.0, ui::LayerTransition::Timing::Linear}, "t");
        advance(0.5);
        auto image = render();
        advance(0.5);
        return image;
    }

    std::shared_ptr<View> holder;
    std::shared_ptr<View> content;
};

constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlack{0, 0, 0};

TEST_F(LayerTransitionDrawingTest, APushShowsBothContentsSideBySideShifted) {
    holder->setRetainsLastDrawing(true);
    auto image = middleOf(ui::LayerTransition::Type::Push, ui::LayerTransition::Subtype::FromRight);
    expectNear(image, 25, 20, kGreen, "the old content's right half, pushed left");
    expectNear(image, 75, 20, kBlue, "the new content's left half, coming in");
    expectNear(image, 150, 20, kWhite, "clipped to the view");
    expectNear(render(), 25, 20, kBlue, "at the end only the new content");

    // Once it has had a transition the view keeps what it shows for the next.
    const auto other = add({100, 0, 100, 40}, 0xFF0000);
    other->setClipsToBounds(true);
    other->addTransition({ui::LayerTransition::Type::Push, ui::LayerTransition::Subtype::FromTop,
                          1.0, ui::LayerTransition::Timing::Linear},
                         "first");
    advance(1.0);
    (void)render();
    other->setBackgroundColor(Color::fromRGB(0x0000FF));
    other->addTransition({ui::LayerTransition::Type::Push, ui::LayerTransition::Subtype::FromTop,
                          1.0, ui::LayerTransition::Timing::Linear},
                         "second");
    advance(0.5);
    image = render();
    expectNear(image, 150, 10, kBlue, "the new comes down from the top");
    expectNear(image, 150, 30, kRed, "the old goes out at the bottom");
}

TEST_F(LayerTransitionDrawingTest, EachTypeAndSideMovesItsOwnWay) {
    holder->setRetainsLastDrawing(true);
    using Type = ui::LayerTransition::Type;
    using Subtype = ui::LayerTransition::Subtype;
    auto image = middleOf(Type::MoveIn, Subtype::FromRight);
    expectNear(image, 25, 20, kRed, "the old stays");
    expectNear(image, 75, 20, kBlue);
    image = middleOf(Type::Reveal, Subtype::FromRight);
    expectNear(image, 25, 20, kGreen, "the old goes");
    expectNear(image, 75, 20, kBlack, "the new stays");
    image = middleOf(Type::Push, Subtype::Unset);
    expectNear(image, 25, 20, kBlack, "from the left");
    expectNear(image, 75, 20, kRed);
    image = middleOf(Type::Fade, Subtype::Unset);
    expectNear(image, 25, 20, {128, 0, 128});
    expectNear(image, 75, 20, {0, 128, 0});
}

}  // namespace
