#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/ManualClockScope.h"
#include "ui/GestureRecognizer.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

using gfx::Point;
using gfx::Rect;
using ui::GestureState;
using ui::SwipeGestureRecognizer;

namespace {

class SwipeGestureTest : public testing::Test {
protected:
    testsupport::ManualClockScope clock;
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>(Rect(0, 0, 375, 667));
    std::shared_ptr<ui::View> pad = std::make_shared<ui::View>(Rect(0, 0, 375, 667));
    ui::TouchInjector fingers{*window};

    void SetUp() override { window->addSubview(pad); }
};

TEST_F(SwipeGestureTest, RecognizesQuickStrokesInAnAllowedDirection) {
    struct Case {
        const char* name;
        unsigned direction;
        Point from, to;
        double seconds;
        bool recognized;
    };
    const std::vector<Case> cases{
        {"quick rightwards", SwipeGestureRecognizer::kRight, {50, 300}, {200, 310}, 0.1, true},
        {"leftwards when only right is allowed",
         SwipeGestureRecognizer::kRight,
         {200, 300},
         {50, 300},
         0.1,
         false},
        {"either way when both are allowed",
         SwipeGestureRecognizer::kRight | SwipeGestureRecognizer::kLeft,
         {200, 300},
         {50, 300},
         0.1,
         true},
        {"too short", SwipeGestureRecognizer::kRight, {50, 300}, {75, 300}, 0.1, false},
        {"too slow", SwipeGestureRecognizer::kRight, {50, 300}, {90, 300}, 1.0, false},
        {"too steep", SwipeGestureRecognizer::kRight, {50, 300}, {110, 400}, 0.1, false},
        {"downwards", SwipeGestureRecognizer::kDown, {100, 100}, {100, 200}, 0.1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int recognized = 0;
        const auto swipe =
            std::make_shared<SwipeGestureRecognizer>([&recognized](ui::GestureRecognizer& r) {
                if (r.state() == GestureState::Recognized) ++recognized;
            });
        swipe->direction = c.direction;
        pad->addGestureRecognizer(swipe);
        fingers.fling(c.from, c.to, c.seconds, 10);
        EXPECT_EQ(recognized, c.recognized ? 1 : 0);
        pad->removeGestureRecognizer(swipe.get());
    }
}

TEST_F(SwipeGestureTest, RecognizesWhileTheFingerIsStillDown) {
    const auto swipe = std::make_shared<SwipeGestureRecognizer>();
    pad->addGestureRecognizer(swipe);
    const auto touch = window->touchDown({40, 300});
    clock.advance(0.05);
    window->touchMove(touch, {60, 300});
    EXPECT_EQ(swipe->state(), GestureState::Possible);
    window->touchMove(touch, {75, 302});
    EXPECT_EQ(swipe->state(), GestureState::Recognized);
    window->touchUp(touch, {80, 302});
    EXPECT_EQ(swipe->state(), GestureState::Possible) << "ready for the next swipe";
}

class Deciding : public ui::GestureRecognizerDelegate {
public:
    bool gestureRecognizerShouldBegin(const ui::GestureRecognizer&) override { return mayBegin; }
    bool shouldRecognizeSimultaneouslyWithGestureRecognizer(
        const ui::GestureRecognizer& recognizer, const ui::GestureRecognizer& other) override {
        asked.push_back({&recognizer, &other});
        return together;
    }
    bool mayBegin = true;
    bool together = false;
    std::vector<std::pair<const ui::GestureRecognizer*, const ui::GestureRecognizer*>> asked;
};

TEST_F(SwipeGestureTest, ADelegateDecidesSimultaneousRecognitionAndBeginning) {
    const auto inner = std::make_shared<ui::View>(Rect(20, 30, 200, 200));
    pad->addSubview(inner);
    int innerTaps = 0;
    int outerTaps = 0;
    const auto innerTap = std::make_shared<ui::TapGestureRecognizer>(
        [&innerTaps](ui::GestureRecognizer& r) { innerTaps += r.state() == GestureState::Ended; });
    const auto outerTap = std::make_shared<ui::TapGestureRecognizer>(
        [&outerTaps](ui::GestureRecognizer& r) { outerTaps += r.state() == GestureState::Ended; });
    inner->addGestureRecognizer(innerTap);
    pad->addGestureRecognizer(outerTap);
    const auto delegate = std::make_shared<Deciding>();
    innerTap->setDelegate(delegate);
    EXPECT_EQ(innerTap->delegate(), delegate);

    fingers.tap({50, 50});
    EXPECT_EQ(innerTaps, 1);
    EXPECT_EQ(innerTap->locationInView(inner.get()), (Point{30, 20})) << "the touch in a view";
    EXPECT_EQ(outerTaps, 0) << "one recognizer wins by default";
    ASSERT_FALSE(delegate->asked.empty());
    EXPECT_EQ(delegate->asked.front().first, innerTap.get());
    EXPECT_EQ(delegate->asked.front().second, outerTap.get());

    delegate->together = true;
    clock.advance(1);
    fingers.tap({50, 50});
    EXPECT_EQ(innerTaps, 2);
    EXPECT_EQ(outerTaps, 1);

    delegate->mayBegin = false;
    clock.advance(1);
    fingers.tap({50, 50});
    EXPECT_EQ(innerTaps, 2) << "the delegate refused to let it begin";
    EXPECT_EQ(outerTaps, 2);
}

}  // namespace
