#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ManualClockScope.h"
#include "ui/Control.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

using gfx::Point;
using gfx::Rect;
using ui::Control;
using ui::ControlEvent;
using ui::ControlState;
using ui::View;
using ui::Window;

namespace {

// Counts the touches that reach it through the responder chain.
class CatchingView : public View {
public:
    using View::View;
    void touchesBegan(const ui::TouchSet&, const ui::Event&) override { ++caught; }
    void touchesEnded(const ui::TouchSet&, const ui::Event&) override { ++caught; }
    int caught = 0;
};

class ControlTest : public testing::Test {
protected:
    void SetUp() override {
        window = std::make_shared<Window>(Rect(0, 0, 400, 400));
        parent = std::make_shared<CatchingView>(Rect(0, 0, 400, 400));
        control = std::make_shared<Control>(Rect(100, 100, 100, 50));
        window->addSubview(parent);
        parent->addSubview(control);
        const std::pair<ControlEvent, const char*> names[] = {
            {ControlEvent::TouchDown, "down"},
            {ControlEvent::TouchUpInside, "upInside"},
            {ControlEvent::TouchUpOutside, "upOutside"},
            {ControlEvent::TouchCancel, "cancel"}};
        for (const auto& [event, name] : names) {
            control->addAction(
                event, [this, name = std::string(name)](Control&) { events.push_back(name); });
        }
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<Window> window;
    std::shared_ptr<CatchingView> parent;
    std::shared_ptr<Control> control;
    std::vector<std::string> events;
};

TEST_F(ControlTest, HighlightFollowsTheFingerWithinTheSlop) {
    const auto touch = window->touchDown({150, 125});
    EXPECT_TRUE(control->isHighlighted());
    EXPECT_EQ(control->state(), unsigned(ControlState::Highlighted));

    window->touchMove(touch, {150, 150 + 60});  // outside the bounds, inside the slop
    EXPECT_TRUE(control->isHighlighted());
    window->touchMove(touch, {150, 150 + 80});
    EXPECT_FALSE(control->isHighlighted());
    window->touchMove(touch, {150, 140});
    EXPECT_TRUE(control->isHighlighted());
    window->touchMove(touch, {100 - 71, 140});
    window->touchUp(touch, {100 - 71, 140});
    EXPECT_FALSE(control->isHighlighted());
    EXPECT_EQ(events, (std::vector<std::string>{"down", "upOutside"}));

    events.clear();
    const auto again = window->touchDown({150, 125});
    window->touchUp(again, {150 + 100, 125});  // 50 points past the edge still counts
    EXPECT_EQ(events, (std::vector<std::string>{"down", "upInside"}));
    EXPECT_EQ(parent->caught, 0);
}

TEST_F(ControlTest, CancelledTouchSendsTouchCancel) {
    const auto touch = window->touchDown({150, 125});
    window->touchCancel(touch);
    EXPECT_EQ(events, (std::vector<std::string>{"down", "cancel"}));
    EXPECT_FALSE(control->isHighlighted());
}

TEST_F(ControlTest, DisabledControlSwallowsTouches) {
    control->setEnabled(false);
    EXPECT_EQ(control->state(), unsigned(ControlState::Disabled));
    ui::TouchInjector(*window).tap({150, 125});
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(parent->caught, 0);
    EXPECT_FALSE(control->isHighlighted());

    // Disabled while the finger is down: the sequence is dropped.
    control->setEnabled(true);
    const auto touch = window->touchDown({150, 125});
    control->setEnabled(false);
    EXPECT_FALSE(control->isHighlighted());
    control->setEnabled(true);
    window->touchUp(touch, {150, 125});
    EXPECT_EQ(events, (std::vector<std::string>{"down"}));
}

TEST_F(ControlTest, StateCombinesFlags) {
    control->setSelected(true);
    control->setHighlighted(true);
    control->setEnabled(false);
    EXPECT_EQ(control->state(),
              unsigned(ControlState::Selected) | unsigned(ControlState::Disabled));
    control->setEnabled(true);
    control->setHighlighted(true);
    EXPECT_EQ(control->state(),
              unsigned(ControlState::Selected) | unsigned(ControlState::Highlighted));
}

TEST_F(ControlTest, ActionsRunInOrderAndMayDropTheControl) {
    std::vector<int> order;
    auto lone = std::make_shared<Control>(Rect(0, 0, 10, 10));
    parent->addSubview(lone);
    lone->addAction(ControlEvent::ValueChanged, [&](Control& sender) {
        order.push_back(1);
        sender.removeFromSuperview();  // the last owner lets go
    });
    lone->addAction(ControlEvent::ValueChanged,
                    [&](Control& sender) { order.push_back(sender.isEnabled() ? 2 : -2); });
    lone->addAction(ControlEvent::TouchDown, [&](Control&) { order.push_back(99); });
    Control* raw = lone.get();
    std::weak_ptr<Control> watch = lone;
    lone.reset();
    raw->sendActions(ControlEvent::ValueChanged);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(watch.expired());

    control->removeAllActions();
    ui::TouchInjector(*window).tap({150, 125});
    EXPECT_TRUE(events.empty());
}

}  // namespace
