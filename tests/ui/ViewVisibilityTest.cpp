#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gfx/GeometryPrinting.h"
#include "support/ManualClockScope.h"
#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/ScrollView.h"
#include "ui/Window.h"

using gfx::Rect;
using ui::LayerTransition;
using ui::View;

namespace {

class ViewVisibilityTest : public testing::Test {
protected:
    // The default profile's screen is 375 x 667.
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>();
    std::shared_ptr<View> holder = std::make_shared<View>(Rect(0, 100, 375, 200));
    std::shared_ptr<View> view = std::make_shared<View>(Rect(0, 0, 100, 100));

    void SetUp() override {
        window->setHidden(false);
        window->addSubview(holder);
        holder->addSubview(view);
    }
};

TEST_F(ViewVisibilityTest, VisibleRectIsWhatTheScreenAndClippingAncestorsLeave) {
    struct Case {
        const char* name;
        Rect frame;
        bool clips;
        Rect expected;
    };
    const std::vector<Case> cases{
        {"wholly inside", {10, 10, 100, 100}, false, {0, 0, 100, 100}},
        {"sticking out of a holder that does not clip",
         {300, 150, 100, 100},
         false,
         {0, 0, 75, 100}},
        {"sticking out of a holder that clips", {300, 150, 100, 100}, true, {0, 0, 75, 50}},
        {"above the screen", {10, -150, 100, 100}, false, {0, 50, 100, 50}},
        {"wholly outside a clipping holder", {10, 300, 100, 100}, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        holder->setClipsToBounds(c.clips);
        view->setFrame(c.frame);
        EXPECT_EQ(view->visibleRect(), c.expected);
    }
}

TEST_F(ViewVisibilityTest, HiddenOrDetachedViewsShowNothing) {
    EXPECT_FALSE(view->visibleRect().isEmpty());
    holder->setHidden(true);
    EXPECT_TRUE(view->visibleRect().isEmpty());
    holder->setHidden(false);
    window->setHidden(true);
    EXPECT_TRUE(view->visibleRect().isEmpty()) << "a hidden window is not on screen";
    window->setHidden(false);
    view->removeFromSuperview();
    EXPECT_TRUE(view->visibleRect().isEmpty());
}

TEST_F(ViewVisibilityTest, ScrolledContentIsClippedByItsScrollView) {
    const auto scroll = std::make_shared<ui::ScrollView>(Rect(0, 0, 375, 200));
    holder->addSubview(scroll);
    scroll->setContentSize({375, 1000});
    const auto row = std::make_shared<View>(Rect(0, 150, 375, 100));
    scroll->addSubview(row);
    EXPECT_EQ(row->visibleRect(), Rect(0, 0, 375, 50));
    scroll->setContentOffset({0, 300});
    EXPECT_TRUE(row->visibleRect().isEmpty());
}

TEST(DisplayedTextTest, LabelsAndButtonsTellTheirTextFontAndColour) {
    EXPECT_FALSE(View().displayedText().text);

    ui::Label label;
    label.setText("Install");
    label.setFont(gfx::Font::system(13.5));
    label.setTextColor(gfx::Color{1, 0, 0, 1});
    const ui::DisplayedText shown = label.displayedText();
    EXPECT_EQ(shown.text, "Install");
    EXPECT_EQ(shown.font, gfx::Font::system(13.5));
    EXPECT_EQ(shown.textColor, (gfx::Color{1, 0, 0, 1}));

    const auto button = ui::Button::create(ui::ButtonType::System);
    button->setTitle("Open");
    EXPECT_EQ(button->displayedText().text, "Open");
    EXPECT_EQ(button->displayedText().textColor, ui::Button::kSystemTintColor);
    button->titleLabel()->setFont(gfx::Font::system(20));
    EXPECT_EQ(button->displayedText().font, gfx::Font::system(20));
}

TEST(LayerTransitionTest, RecordedByKeyUntilTheirDurationHasPassed) {
    testsupport::ManualClockScope clock;
    const auto view = std::make_shared<View>(Rect(0, 0, 10, 10));
    const LayerTransition push{LayerTransition::Type::Push, LayerTransition::Subtype::FromTop, 1.0,
                               LayerTransition::Timing::EaseInEaseOut};
    view->addTransition(push, "PushNewView");
    EXPECT_EQ(view->transitionForKey("PushNewView"), push);
    EXPECT_FALSE(view->transitionForKey("other"));

    clock.advance(0.5);
    LayerTransition fade;
    fade.duration = 1.0;
    view->addTransition(fade, "PushNewView");
    EXPECT_EQ(view->transitionKeys(), std::vector<std::string>{"PushNewView"});
    clock.advance(0.5);
    EXPECT_EQ(view->transitionForKey("PushNewView"), fade) << "the replaced one's end is ignored";
    clock.advance(0.5);
    EXPECT_TRUE(view->transitionKeys().empty());

    view->addTransition(push, "a");
    view->addTransition(push, "b");
    view->removeAllTransitions();
    EXPECT_TRUE(view->transitionKeys().empty());
}

}  // namespace
