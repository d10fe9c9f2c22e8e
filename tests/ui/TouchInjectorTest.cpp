#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

#include "core/Queue.h"
#include "gfx/GeometryPrinting.h"
#include "support/ManualClockScope.h"
#include "ui/Control.h"
#include "ui/Touch.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

using gfx::Point;
using gfx::Rect;
using ui::TouchInjector;
using ui::Window;

namespace {

// Keeps every location of every touch it gets, in window coordinates.
class TracingView : public ui::View {
public:
    using View::View;
    void touchesBegan(const ui::TouchSet& touches, const ui::Event&) override { note(touches); }
    void touchesMoved(const ui::TouchSet& touches, const ui::Event&) override { note(touches); }
    void touchesEnded(const ui::TouchSet& touches, const ui::Event&) override { note(touches); }

    std::map<const ui::Touch*, std::vector<Point>> paths;

private:
    void note(const ui::TouchSet& touches) {
        for (const auto& touch : touches)
            paths[touch.get()].push_back(touch->locationInView(nullptr));
    }
};

class TouchInjectorTest : public testing::Test {
protected:
    void SetUp() override {
        window = std::make_shared<Window>(Rect(0, 0, 375, 667));
        tracer = std::make_shared<TracingView>(window->bounds());
        window->addSubview(tracer);
    }
    double now() const { return clock->monotonicSeconds(); }

    testsupport::ManualClockScope clock;
    std::shared_ptr<Window> window;
    std::shared_ptr<TracingView> tracer;
};

TEST_F(TouchInjectorTest, TapRunsTheWorkItTriggers) {
    const auto button = std::make_shared<ui::Control>(Rect(10, 10, 50, 50));
    tracer->addSubview(button);
    bool handled = false;
    button->addAction(ui::ControlEvent::TouchUpInside,
                      [&](ui::Control&) { core::Queue::main()->async([&] { handled = true; }); });
    const double start = now();
    TouchInjector(*window).tap({20, 20});
    EXPECT_TRUE(handled);
    EXPECT_NEAR(now() - start, 0.05, 1e-9);
}

TEST_F(TouchInjectorTest, DragMovesEvenlyThenRests) {
    const double start = now();
    TouchInjector(*window).drag({100, 100}, {100, 300}, 0.5, 4);
    EXPECT_NEAR(now() - start, 0.65, 1e-9);
    ASSERT_EQ(tracer->paths.size(), 1u);
    const auto& path = tracer->paths.begin()->second;
    EXPECT_EQ(path, (std::vector<Point>{
                        {100, 100}, {100, 150}, {100, 200}, {100, 250}, {100, 300}, {100, 300}}));
}

TEST_F(TouchInjectorTest, PinchSpreadsTwoFingersAboutTheCentre) {
    TouchInjector(*window).pinch({200, 300}, 100, 2, 0.3, 5);
    ASSERT_EQ(tracer->paths.size(), 2u);
    const auto& a = tracer->paths.begin()->second;
    const auto& b = std::next(tracer->paths.begin())->second;
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_DOUBLE_EQ((a[i].x + b[i].x) / 2, 200);
        EXPECT_DOUBLE_EQ(a[i].y, 300);
    }
    EXPECT_DOUBLE_EQ(std::abs(a.front().x - b.front().x), 100);
    EXPECT_DOUBLE_EQ(std::abs(a.back().x - b.back().x), 200);
}

}  // namespace
