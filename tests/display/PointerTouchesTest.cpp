#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "display/PointerTouches.h"
#include "support/ManualClockScope.h"
#include "ui/GestureRecognizer.h"
#include "ui/ScrollView.h"
#include "ui/Window.h"

using display::PointerTouches;
using gfx::Point;
using gfx::Rect;

namespace {

// Logs the phases it gets and where, in window points.
class LoggingView : public ui::View {
public:
    explicit LoggingView(Rect frame) : View(frame) {}
    std::vector<std::string> log;

    void touchesBegan(const ui::TouchSet& t, const ui::Event&) override { note("began", t); }
    void touchesMoved(const ui::TouchSet& t, const ui::Event&) override { note("moved", t); }
    void touchesEnded(const ui::TouchSet& t, const ui::Event&) override { note("ended", t); }
    void touchesCancelled(const ui::TouchSet& t, const ui::Event&) override {
        note("cancelled", t);
    }

private:
    void note(const char* phase, const ui::TouchSet& touches) {
        const Point at = touches.front()->locationInView(nullptr);
        log.push_back(std::string(phase) + " " + std::to_string(int(at.x)) + "," +
                      std::to_string(int(at.y)));
    }
};

class PointerTouchesTest : public testing::Test {
protected:
    // The mouse moves by `by` in `steps` events, one frame apart.
    void moveBy(Point from, Point by, int steps) {
        for (int i = 1; i <= steps; ++i) {
            clock_.advance(1.0 / 60);
            pointer_.move({from.x + by.x * i / steps, from.y + by.y * i / steps});
        }
    }

    testsupport::ManualClockScope clock_;
    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(Rect(0, 0, 375, 667));
    PointerTouches pointer_;
};

}  // namespace

TEST_F(PointerTouchesTest, AHeldButtonIsOneTouchOfTheViewItWentDownIn) {
    const auto view = std::make_shared<LoggingView>(Rect(0, 100, 375, 200));
    window_->addSubview(view);

    pointer_.move({10, 150});  // hovering: no touch
    pointer_.press(*window_, {10, 150});
    EXPECT_TRUE(pointer_.isTouching());
    pointer_.move({10, 150});  // no motion, no event
    pointer_.move({40, 500});  // outside the view: still its touch
    pointer_.release({40, 510});
    pointer_.release({40, 510});
    pointer_.move({50, 150});
    EXPECT_FALSE(pointer_.isTouching());
    EXPECT_EQ(view->log,
              (std::vector<std::string>{"began 10,150", "moved 40,500", "ended 40,510"}));
}

TEST_F(PointerTouchesTest, ASecondPressOrACancelNeverLeavesATouchDown) {
    const auto view = std::make_shared<LoggingView>(Rect(0, 0, 375, 667));
    window_->addSubview(view);

    pointer_.press(*window_, {10, 10});
    pointer_.move({20, 20});
    pointer_.press(*window_, {30, 30});  // the release was lost
    pointer_.cancel();
    pointer_.cancel();
    EXPECT_EQ(view->log, (std::vector<std::string>{"began 10,10", "moved 20,20", "ended 20,20",
                                                   "began 30,30", "cancelled 30,30"}));
}

TEST_F(PointerTouchesTest, AQuickClickIsATap) {
    int taps = 0;
    const auto tap = std::make_shared<ui::TapGestureRecognizer>(
        [&taps](ui::GestureRecognizer& r) { taps += r.state() == ui::GestureState::Recognized; });
    window_->addGestureRecognizer(tap);

    pointer_.press(*window_, {100, 100});
    clock_.advance(0.08);
    pointer_.release({100, 100});
    EXPECT_EQ(taps, 1);

    pointer_.press(*window_, {100, 300});  // a drag is no tap
    moveBy({100, 300}, {0, -120}, 6);
    pointer_.release({100, 180});
    EXPECT_EQ(taps, 1);
}

TEST_F(PointerTouchesTest, ReleasingWhileMovingFlingsAndReleasingAtRestDoesNot) {
    const auto scroll = std::make_shared<ui::ScrollView>(Rect(0, 0, 375, 667));
    scroll->setContentSize({375, 5000});
    window_->addSubview(scroll);

    pointer_.press(*window_, {180, 500});
    moveBy({180, 500}, {0, -200}, 8);
    clock_.advance(0.3);  // the mouse rests before the button comes up
    pointer_.release({180, 300});
    const double dragged = scroll->contentOffset().y;
    EXPECT_GT(dragged, 150);  // the finger's 200 points, less the pan's start
    EXPECT_LE(dragged, 200);
    EXPECT_FALSE(scroll->isDecelerating());

    pointer_.press(*window_, {180, 500});
    moveBy({180, 500}, {0, -200}, 8);
    clock_.advance(0.005);  // a real button comes up a moment after the last motion
    pointer_.release({180, 300});
    EXPECT_TRUE(scroll->isDecelerating());
    clock_.advance(3);
    EXPECT_FALSE(scroll->isDecelerating());
    EXPECT_GT(scroll->contentOffset().y, 2 * dragged + 200);  // it went on past the finger
}
