#include <gtest/gtest.h>

#include <vector>

#include "gfx/GeometryPrinting.h"
#include "support/ManualClockScope.h"
#include "ui/GestureRecognizer.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

using gfx::Point;
using gfx::Rect;
using ui::GestureState;
using ui::PanGestureRecognizer;
using ui::TapGestureRecognizer;
using ui::View;
using ui::Window;

namespace {

void expectNear(Point actual, Point expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-9) << "x";
    EXPECT_NEAR(actual.y, expected.y, 1e-9) << "y";
}

class GestureTest : public testing::Test {
protected:
    void SetUp() override {
        window = std::make_shared<Window>(Rect(0, 0, 375, 667));
        pad = std::make_shared<View>(Rect(0, 0, 375, 667));
        window->addSubview(pad);
    }

    template <typename Recognizer>
    std::shared_ptr<Recognizer> install(std::vector<GestureState>& states) {
        auto recognizer = std::make_shared<Recognizer>(
            [&states](ui::GestureRecognizer& r) { states.push_back(r.state()); });
        pad->addGestureRecognizer(recognizer);
        return recognizer;
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<Window> window;
    std::shared_ptr<View> pad;
};

TEST_F(GestureTest, TapFailsOnceTheFingerMovesTooFar) {
    std::vector<GestureState> states;
    const auto tap = install<TapGestureRecognizer>(states);

    auto touch = window->touchDown({100, 100});
    window->touchMove(touch, {100, 109});
    EXPECT_EQ(tap->state(), GestureState::Possible);
    window->touchMove(touch, {100, 111});
    EXPECT_EQ(tap->state(), GestureState::Failed);
    window->touchUp(touch, {100, 100});
    EXPECT_TRUE(states.empty());
    EXPECT_EQ(tap->state(), GestureState::Possible);

    clock.advance(1);
    touch = window->touchDown({100, 100});
    window->touchMove(touch, {107, 107});
    window->touchUp(touch, {107, 107});
    EXPECT_EQ(states, (std::vector<GestureState>{GestureState::Recognized}));
}

TEST_F(GestureTest, DoubleTapNeedsQuickNearbyTaps) {
    std::vector<GestureState> states;
    const auto tap = install<TapGestureRecognizer>(states);
    tap->numberOfTapsRequired = 2;
    ui::TouchInjector fingers(*window);

    fingers.tap({50, 50});
    clock.advance(0.5);
    fingers.tap({50, 50});  // too late: counts as a first tap again
    EXPECT_TRUE(states.empty());
    clock.advance(0.1);
    fingers.tap({200, 200});  // too far away
    EXPECT_TRUE(states.empty());
    clock.advance(0.1);
    fingers.tap({210, 190});
    EXPECT_EQ(states, (std::vector<GestureState>{GestureState::Recognized}));
}

TEST_F(GestureTest, PanTranslationIncludesTheStartDistance) {
    std::vector<GestureState> states;
    const auto pan = install<PanGestureRecognizer>(states);
    std::vector<Point> translations;
    pan->addAction(
        [&](ui::GestureRecognizer&) { translations.push_back(pan->translationInView(nullptr)); });
    pad->setTransform(gfx::AffineTransform::scaling(2, 2));

    const auto touch = window->touchDown({100, 100});
    window->touchMove(touch, {100, 109});
    EXPECT_TRUE(states.empty());
    window->touchMove(touch, {100, 110});
    ASSERT_EQ(states, (std::vector<GestureState>{GestureState::Began}));
    EXPECT_EQ(translations.back(), (Point{0, 10}));
    // In the doubled view the same motion is half as long.
    expectNear(pan->translationInView(pad.get()), {0, 5});

    pan->setTranslation({0, 0}, pad.get());
    window->touchMove(touch, {104, 114});
    expectNear(translations.back(), {4, 4});
    expectNear(pan->translationInView(pad.get()), {2, 2});
    window->touchUp(touch, {104, 114});
    EXPECT_EQ(states.back(), GestureState::Ended);
    EXPECT_EQ(pan->locationInView(nullptr), (Point{104, 114}));
}

TEST_F(GestureTest, FlingVelocityFollowsTheClock) {
    std::vector<GestureState> states;
    const auto pan = install<PanGestureRecognizer>(states);
    Point velocity{1, 1};
    pan->addAction([&](ui::GestureRecognizer& r) {
        if (r.state() == GestureState::Ended) velocity = pan->velocityInView(nullptr);
    });
    ui::TouchInjector fingers(*window);

    // 400 points in 5 moves of 0.02 s each: 4000 points per second.
    fingers.fling({100, 600}, {100, 200}, 0.1, 5);
    EXPECT_NEAR(velocity.x, 0, 1e-6);
    EXPECT_NEAR(velocity.y, -4000, 1e-6);

    // Holding still before lifting leaves nothing to fling.
    fingers.drag({100, 600}, {100, 200}, 0.1, 5);
    EXPECT_EQ(velocity, (Point{0, 0}));
    EXPECT_EQ(states.back(), GestureState::Ended);
    // Even when the finger shifts a little as it lifts after resting.
    const auto touch = window->touchDown({100, 600});
    clock.advance(0.05);
    window->touchMove(touch, {100, 500});
    clock.advance(0.2);
    window->touchUp(touch, {100, 497});
    EXPECT_EQ(velocity, (Point{0, 0}));
}

TEST_F(GestureTest, SeveralTouchesPanTheirCentroid) {
    std::vector<GestureState> states;
    const auto pan = install<PanGestureRecognizer>(states);
    const auto first = window->touchDown({100, 100});
    const auto second = window->touchDown({200, 100});
    EXPECT_EQ(pan->numberOfTouches(), 2u);
    EXPECT_EQ(pan->locationInView(nullptr), (Point{150, 100}));

    window->touchMove(first, {100, 120});  // the centroid moves 10
    EXPECT_EQ(pan->state(), GestureState::Began);
    EXPECT_EQ(pan->translationInView(nullptr), (Point{0, 10}));

    // A finger put down or lifted does not make the translation jump.
    const auto third = window->touchDown({300, 400});
    expectNear(pan->translationInView(nullptr), {0, 10});
    window->touchUp(third, {300, 400});
    window->touchUp(first, {100, 120});
    expectNear(pan->translationInView(nullptr), {0, 10});
    EXPECT_NE(pan->state(), GestureState::Ended);
    window->touchUp(second, {200, 100});
    EXPECT_EQ(states.back(), GestureState::Ended);
}

TEST_F(GestureTest, RecognizerThatMayNotBeginFails) {
    std::vector<GestureState> states;
    const auto pan = install<PanGestureRecognizer>(states);
    int asked = 0;
    pan->setShouldBegin([&](const ui::GestureRecognizer&) {
        ++asked;
        return false;
    });
    const auto touch = window->touchDown({100, 100});
    window->touchMove(touch, {100, 150});
    EXPECT_EQ(pan->state(), GestureState::Failed);
    window->touchMove(touch, {100, 200});
    window->touchUp(touch, {100, 200});
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(states.empty());
    EXPECT_EQ(pan->state(), GestureState::Possible);
}

TEST_F(GestureTest, CancelledTouchCancelsARunningPan) {
    std::vector<GestureState> states;
    const auto pan = install<PanGestureRecognizer>(states);
    const auto touch = window->touchDown({100, 100});
    window->touchMove(touch, {100, 130});
    window->touchCancel(touch);
    EXPECT_EQ(states, (std::vector<GestureState>{GestureState::Began, GestureState::Cancelled}));
    EXPECT_EQ(pan->state(), GestureState::Possible);
}

}  // namespace
