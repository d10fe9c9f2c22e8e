#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/Control.h"
#include "ui/GestureRecognizer.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

using gfx::Point;
using gfx::Rect;
using ui::Control;
using ui::ControlEvent;
using ui::GestureState;
using ui::View;
using ui::Window;

namespace {

// Logs the touch calls it gets, then passes them on like any responder.
class LoggingView : public View {
public:
    LoggingView(Rect frame, std::vector<std::string>& log) : View(frame), log_(log) {}
    void touchesBegan(const ui::TouchSet& t, const ui::Event& e) override {
        log_.push_back("began");
        View::touchesBegan(t, e);
    }
    void touchesMoved(const ui::TouchSet&, const ui::Event&) override { log_.push_back("moved"); }
    void touchesEnded(const ui::TouchSet&, const ui::Event&) override { log_.push_back("ended"); }
    void touchesCancelled(const ui::TouchSet&, const ui::Event&) override {
        log_.push_back("cancelled");
    }

private:
    std::vector<std::string>& log_;
};

class LoggingController : public ui::ViewController {
public:
    explicit LoggingController(std::vector<std::string>& log) : log_(log) {}
    void viewWillAppear(bool animated) override {
        log_.push_back("willAppear");
        ViewController::viewWillAppear(animated);
    }
    void viewDidAppear(bool animated) override {
        log_.push_back("didAppear");
        ViewController::viewDidAppear(animated);
    }
    void viewWillDisappear(bool animated) override {
        log_.push_back("willDisappear");
        ViewController::viewWillDisappear(animated);
    }
    void viewDidDisappear(bool animated) override {
        log_.push_back("didDisappear");
        ViewController::viewDidDisappear(animated);
    }
    void touchesBegan(const ui::TouchSet&, const ui::Event&) override {
        log_.push_back("controller began");
    }

private:
    std::vector<std::string>& log_;
};

std::shared_ptr<Control> makeControl(Rect frame, std::vector<std::string>& log) {
    auto control = std::make_shared<Control>(frame);
    const std::pair<ControlEvent, std::string> names[] = {
        {ControlEvent::TouchDown, "down"},
        {ControlEvent::TouchUpInside, "upInside"},
        {ControlEvent::TouchUpOutside, "upOutside"},
        {ControlEvent::TouchCancel, "cancel"}};
    for (const auto& [event, name] : names) {
        control->addAction(event, [&log, name = name](Control&) { log.push_back(name); });
    }
    return control;
}

std::string stateName(GestureState state) {
    static const std::map<GestureState, std::string> names = {
        {GestureState::Began, "began"},
        {GestureState::Changed, "changed"},
        {GestureState::Ended, "ended"},
        {GestureState::Cancelled, "cancelled"}};
    return names.at(state);
}

class WindowTouchTest : public testing::Test {
protected:
    void SetUp() override {
        window = std::make_shared<Window>(Rect(0, 0, 375, 667));
        outer = std::make_shared<View>(Rect(20, 100, 300, 300));
        inner = std::make_shared<View>(Rect(10, 10, 200, 200));
        button = makeControl({50, 50, 100, 44}, log);
        window->addSubview(outer);
        outer->addSubview(inner);
        inner->addSubview(button);
    }
    void TearDown() override { ui::Application::shared().resetForTesting(); }

    Point buttonCenter() const { return button->convertPointTo({50, 22}, nullptr); }

    testsupport::ManualClockScope clock;
    std::vector<std::string> log;
    std::shared_ptr<Window> window;
    std::shared_ptr<View> outer;
    std::shared_ptr<View> inner;
    std::shared_ptr<Control> button;
};

TEST_F(WindowTouchTest, TapOnAButtonInsideNestedViews) {
    const Point center = buttonCenter();
    ASSERT_EQ(center, (Point{130, 182}));
    const auto touch = window->touchDown(center);
    EXPECT_EQ(touch->view(), button);
    EXPECT_TRUE(button->isHighlighted());
    window->touchUp(touch, center);
    EXPECT_EQ(log, (std::vector<std::string>{"down", "upInside"}));
    EXPECT_FALSE(button->isHighlighted());
}

TEST_F(WindowTouchTest, UnhandledTouchesClimbTheResponderChain) {
    const auto catcher = std::make_shared<LoggingView>(Rect(0, 0, 50, 50), log);
    const auto plain = std::make_shared<View>(Rect(10, 10, 20, 20));
    inner->addSubview(catcher);
    catcher->addSubview(plain);
    const auto touch = window->touchDown(plain->convertPointTo({5, 5}, nullptr));
    EXPECT_EQ(touch->view(), plain);
    EXPECT_EQ(log, (std::vector<std::string>{"began"}));

    // A controller's root view passes to the controller before its superview.
    const auto controller = std::make_shared<LoggingController>(log);
    controller->view()->setFrame({0, 0, 40, 40});
    catcher->addSubview(controller->view());
    log.clear();
    window->touchDown(controller->view()->convertPointTo({1, 1}, nullptr));
    EXPECT_EQ(log, (std::vector<std::string>{"controller began"}));

    EXPECT_EQ(window->nextResponder(), &ui::Application::shared());
}

TEST_F(WindowTouchTest, PanOnAnAncestorCancelsTheButtonOnceItBegins) {
    std::vector<std::string> states;
    const auto pan = std::make_shared<ui::PanGestureRecognizer>(
        [&](ui::GestureRecognizer& r) { states.push_back(stateName(r.state())); });
    outer->addGestureRecognizer(pan);

    const Point start = buttonCenter();
    const auto touch = window->touchDown(start);
    window->touchMove(touch, start + Point{0, 6});
    EXPECT_EQ(log, (std::vector<std::string>{"down"}));
    EXPECT_TRUE(button->isHighlighted());

    window->touchMove(touch, start + Point{0, 12});
    EXPECT_EQ(log, (std::vector<std::string>{"down", "cancel"}));
    EXPECT_FALSE(button->isHighlighted());
    window->touchMove(touch, start + Point{0, 20});
    window->touchUp(touch, start);
    EXPECT_EQ(log, (std::vector<std::string>{"down", "cancel"}));
    EXPECT_EQ(states, (std::vector<std::string>{"began", "changed", "ended"}));
    EXPECT_EQ(pan->state(), GestureState::Possible);
}

TEST_F(WindowTouchTest, RecognizerThatKeepsTouchesLetsTheViewFinish) {
    int pans = 0;
    const auto pan = std::make_shared<ui::PanGestureRecognizer>([&](auto&) { ++pans; });
    pan->setCancelsTouchesInView(false);
    outer->addGestureRecognizer(pan);
    const Point start = buttonCenter();
    const auto touch = window->touchDown(start);
    window->touchMove(touch, start + Point{30, 0});
    window->touchUp(touch, start + Point{30, 0});
    EXPECT_EQ(log, (std::vector<std::string>{"down", "upInside"}));
    EXPECT_GT(pans, 0);
}

TEST_F(WindowTouchTest, InnermostRecognizerWinsUnlessBothMayRecognize) {
    std::vector<std::string> taps;
    const auto outerTap =
        std::make_shared<ui::TapGestureRecognizer>([&](auto&) { taps.push_back("outer"); });
    const auto innerTap =
        std::make_shared<ui::TapGestureRecognizer>([&](auto&) { taps.push_back("inner"); });
    outer->addGestureRecognizer(outerTap);
    inner->addGestureRecognizer(innerTap);

    const Point point = inner->convertPointTo({5, 5}, nullptr);
    window->touchUp(window->touchDown(point), point);
    EXPECT_EQ(taps, (std::vector<std::string>{"inner"}));
    EXPECT_EQ(outerTap->state(), GestureState::Possible);
    EXPECT_EQ(innerTap->state(), GestureState::Possible);

    outerTap->setRecognizesSimultaneously([](const auto&) { return true; });
    clock.advance(1);
    window->touchUp(window->touchDown(point), point);
    EXPECT_EQ(taps, (std::vector<std::string>{"inner", "inner", "outer"}));
}

TEST_F(WindowTouchTest, DisabledRecognizersSeeNothing) {
    int taps = 0;
    const auto tap = std::make_shared<ui::TapGestureRecognizer>([&](auto&) { ++taps; });
    tap->setEnabled(false);
    outer->addGestureRecognizer(tap);
    const Point center = buttonCenter();
    window->touchUp(window->touchDown(center), center);
    EXPECT_EQ(taps, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"down", "upInside"}));
}

TEST_F(WindowTouchTest, QuickTapsNearbyCountUp) {
    const Point point{200, 500};
    const auto first = window->touchDown(point);
    window->touchUp(first, point);
    clock.advance(0.2);
    const auto second = window->touchDown(point + Point{5, 5});
    window->touchUp(second, point);
    clock.advance(0.5);
    const auto third = window->touchDown(point);
    EXPECT_EQ(first->tapCount(), 1);
    EXPECT_EQ(second->tapCount(), 2);
    EXPECT_EQ(third->tapCount(), 1);
}

TEST_F(WindowTouchTest, RootControllerFillsTheWindowAndAppearsWhenShown) {
    std::vector<std::string> appearance;
    const auto first = std::make_shared<LoggingController>(appearance);
    window->setRootViewController(first);
    EXPECT_TRUE(appearance.empty());
    EXPECT_EQ(first->view()->superview(), window);
    EXPECT_EQ(first->view()->frame(), window->bounds());

    window->makeKeyAndVisible();
    EXPECT_EQ(appearance, (std::vector<std::string>{"willAppear", "didAppear"}));
    EXPECT_FALSE(window->isHidden());
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(ui::Application::shared().keyWindow(), window);

    appearance.clear();
    const auto second = std::make_shared<LoggingController>(appearance);
    window->setRootViewController(second);
    EXPECT_EQ(appearance, (std::vector<std::string>{"willDisappear", "didDisappear", "willAppear",
                                                    "didAppear"}));
    EXPECT_EQ(first->view()->superview(), nullptr);
    EXPECT_EQ(second->view()->window(), window);

    window->setFrame({0, 0, 320, 480});
    window->layoutTree();
    EXPECT_EQ(second->view()->frame(), Rect(0, 0, 320, 480));
}

TEST_F(WindowTouchTest, FirstResponderLeavesWithItsView) {
    class Field : public View {
    public:
        [[nodiscard]] bool canBecomeFirstResponder() const override { return true; }
    };
    const auto field = std::make_shared<Field>();
    inner->addSubview(field);
    EXPECT_FALSE(inner->becomeFirstResponder());
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_EQ(window->firstResponder(), field.get());

    inner->removeFromSuperview();
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_EQ(window->firstResponder(), nullptr);
}

}  // namespace
