#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "RecordingController.h"
#include "core/RunLoop.h"
#include "gfx/GeometryPrinting.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/View.h"

using gfx::Rect;
using ui::LayoutAttribute;
using ui::LayoutConstraint;
using ui::LayoutRelation;
using ui::View;
using Attribute = ui::LayoutAttribute;

namespace {

// A view with a natural size, as a label or a banner has.
class Sized : public View {
public:
    explicit Sized(gfx::Size natural) : View(Rect(1, 2, 3, 4)), natural_(natural) {}
    [[nodiscard]] gfx::Size intrinsicContentSize() const override { return natural_; }

private:
    gfx::Size natural_;
};

class LayoutConstraintTest : public testing::Test {
protected:
    std::shared_ptr<View> container = std::make_shared<View>(Rect(0, 0, 320, 480));
    std::shared_ptr<View> item = std::make_shared<Sized>(gfx::Size{100, 50});
    std::shared_ptr<View> other = std::make_shared<View>(Rect(10, 20, 30, 40));

    void SetUp() override {
        container->addSubview(item);
        container->addSubview(other);
    }
    // item.attribute = container.attribute + constant (or the sibling's).
    ui::LayoutConstraintPtr pin(Attribute attribute, double constant = 0,
                                const std::shared_ptr<View>& to = nullptr,
                                Attribute toAttribute = Attribute::NotAnAttribute,
                                LayoutRelation relation = LayoutRelation::Equal) {
        const auto target = to ? to : container;
        return container->addConstraint(
            LayoutConstraint(item, attribute, target,
                             toAttribute == Attribute::NotAnAttribute ? attribute : toAttribute,
                             1.0, constant, relation));
    }
    Rect laidOut() {
        container->layoutIfNeeded();
        return item->frame();
    }
};

TEST_F(LayoutConstraintTest, EdgesCentresAndSizesPlaceAnItem) {
    struct Case {
        const char* name;
        std::vector<std::pair<Attribute, double>> pins;
        Rect expected;
    };
    const std::vector<Case> cases{
        {"four edges with insets",
         {{Attribute::Top, 10},
          {Attribute::Bottom, -20},
          {Attribute::Leading, 5},
          {Attribute::Trailing, -5}},
         {5, 10, 310, 450}},
        {"left and right are leading and trailing",
         {{Attribute::Left, 8}, {Attribute::Right, -8}, {Attribute::Top, 0}},
         {8, 0, 304, 50}},
        {"bottom edge and centre keep the natural size",
         {{Attribute::Bottom, 0}, {Attribute::CenterX, 0}},
         {110, 430, 100, 50}},
        {"top and height leave the other axis alone",
         {{Attribute::Top, 20}, {Attribute::Height, -400}},
         {1, 20, 3, 80}},
        {"trailing and centre give the width",
         {{Attribute::Trailing, 0}, {Attribute::CenterX, 40}, {Attribute::CenterY, 0}},
         {80, 215, 240, 50}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        container->removeConstraints(container->constraints());
        item->setFrame({1, 2, 3, 4});
        for (const auto& [attribute, constant] : c.pins) pin(attribute, constant);
        EXPECT_EQ(laidOut(), c.expected);
    }
}

TEST_F(LayoutConstraintTest, InequalitiesClampAfterTheEqualities) {
    // The shape of a padding view at least as tall as its neighbours.
    pin(Attribute::Top);
    pin(Attribute::Height, 0, other, Attribute::Height, LayoutRelation::GreaterThanOrEqual);
    EXPECT_EQ(laidOut().height(), 50) << "already taller than the 40-point sibling";
    other->setFrame({10, 20, 30, 90});
    container->setNeedsLayout();
    EXPECT_EQ(laidOut().height(), 90);

    container->removeConstraints(container->constraints());
    pin(Attribute::Bottom, 100);
    pin(Attribute::Bottom, 0, nullptr, Attribute::NotAnAttribute, LayoutRelation::LessThanOrEqual);
    pin(Attribute::Leading, 300);
    pin(Attribute::Trailing, 0, nullptr, Attribute::NotAnAttribute,
        LayoutRelation::LessThanOrEqual);
    EXPECT_EQ(laidOut(), Rect(220, 430, 100, 50)) << "pushed back inside the container";
}

TEST_F(LayoutConstraintTest, SiblingsAreSolvedBeforeTheItemsThatReferToThem) {
    // other.leading = item.trailing + 4 is added before item is placed.
    container->addConstraint(
        LayoutConstraint(other, Attribute::Leading, item, Attribute::Trailing, 1, 4));
    container->addConstraint(
        LayoutConstraint(other, Attribute::Width, item, Attribute::Height, 0.5, 0));
    pin(Attribute::Leading, 10);
    pin(Attribute::CenterY);
    container->layoutIfNeeded();
    EXPECT_EQ(item->frame(), Rect(10, 215, 100, 50));
    EXPECT_EQ(other->frame(), Rect(114, 20, 25, 40));
}

TEST_F(LayoutConstraintTest, ConstantChangesAndRemovalsLayOutAgain) {
    const auto bottom = pin(Attribute::Bottom);
    pin(Attribute::Leading);
    EXPECT_EQ(laidOut().minY(), 430);
    EXPECT_EQ(bottom->holder(), container);

    bottom->setConstant(-50);
    EXPECT_TRUE(container->needsLayout());
    EXPECT_EQ(laidOut().minY(), 380);

    // Rebinding to another corner: the old edge goes first.
    container->removeConstraint(bottom.get());
    EXPECT_EQ(bottom->holder(), nullptr);
    EXPECT_EQ(container->constraints().size(), 1u);
    pin(Attribute::Top, 6);
    EXPECT_EQ(laidOut(), Rect(0, 6, 100, 50));

    // A constraint added to another view moves there.
    const auto moved = container->constraints().front();
    other->addConstraint(moved);
    EXPECT_EQ(moved->holder(), other);
    EXPECT_EQ(container->constraints().size(), 1u);
}

TEST_F(LayoutConstraintTest, AViewsOwnConstantsAreAppliedByItsSuperview) {
    item->addConstraint(LayoutConstraint::toConstant(item, Attribute::Width, 44));
    item->addConstraint(LayoutConstraint::toConstant(item, Attribute::Height, 22));
    pin(Attribute::Trailing);
    pin(Attribute::Bottom);
    EXPECT_EQ(laidOut(), Rect(276, 458, 44, 22));
}

TEST_F(LayoutConstraintTest, LayoutInsideAnAnimationEndsAtOnceAndCompletesOnTheClock) {
    testsupport::ManualClockScope clock;
    const auto bottom = pin(Attribute::Bottom);
    pin(Attribute::Leading);
    container->layoutIfNeeded();
    bool finished = false;
    View::animate(
        0.5,
        [&] {
            bottom->setConstant(50);
            container->layoutIfNeeded();
        },
        [&](bool) { finished = true; });
    EXPECT_EQ(item->frame().minY(), 480) << "the end state shows at once";
    clock.advance(0.49);
    EXPECT_FALSE(finished);
    clock.advance(0.01);
    EXPECT_TRUE(finished);
}

TEST(TopLayoutGuideTest, FollowsTheStatusBar) {
    auto log = std::make_shared<testsupport::EventLog>();
    const auto controller = testsupport::recording("C", log);
    const testsupport::VisibleWindow window(controller);
    const auto content = std::make_shared<View>();
    const auto root = controller->view();
    root->addSubview(content);
    const auto guide = controller->topLayoutGuide();
    EXPECT_EQ(guide->superview(), root);
    EXPECT_TRUE(guide->isHidden());
    EXPECT_EQ(controller->topLayoutGuide(), guide) << "made once";
    root->addConstraint(LayoutConstraint(content, Attribute::Top, guide, Attribute::Bottom));
    root->addConstraint(LayoutConstraint(content, Attribute::Bottom, root, Attribute::Bottom));
    root->addConstraint(LayoutConstraint(content, Attribute::Width, root, Attribute::Width));
    window->layoutTree();
    EXPECT_EQ(content->frame(), Rect(0, 20, 375, 647));

    ui::Application::shared().setStatusBarHidden(true);
    window->layoutTree();
    EXPECT_EQ(content->frame(), Rect(0, 0, 375, 667));
}

}  // namespace

namespace {

TEST(AutoresizingTest, FlexiblePartsShareOutTheSuperviewsChange) {
    struct Case {
        const char* name;
        unsigned mask;
        Rect expected;
    };
    // A 100 x 100 subview at (20, 30) in a 200 x 200 view that grows to 300 x 250.
    const std::vector<Case> cases{
        {"fixed", 0, {20, 30, 100, 100}},
        {"flexible width and height",
         View::kFlexibleWidth | View::kFlexibleHeight,
         {20, 30, 200, 150}},
        {"pinned to the right and bottom",
         View::kFlexibleLeftMargin | View::kFlexibleTopMargin,
         {120, 80, 100, 100}},
        {"both margins, in proportion", View::kFlexibleLeftMargin | View::kFlexibleRightMargin,
         {40, 30, 100, 100}},
        {"width and margins in proportion",
         View::kFlexibleLeftMargin | View::kFlexibleWidth | View::kFlexibleRightMargin,
         {30, 30, 150, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto superview = std::make_shared<View>(Rect(0, 0, 200, 200));
        const auto subview = std::make_shared<View>(Rect(20, 30, 100, 100));
        superview->addSubview(subview);
        subview->setAutoresizingMask(c.mask);
        superview->setFrame({0, 0, 300, 250});
        EXPECT_EQ(subview->frame(), c.expected);
    }

    const auto superview = std::make_shared<View>(Rect(0, 0, 200, 200));
    const auto constrained = std::make_shared<View>(Rect(0, 0, 200, 200));
    superview->addSubview(constrained);
    constrained->setAutoresizingMask(View::kFlexibleWidth);
    constrained->setTranslatesAutoresizingMaskIntoConstraints(false);
    superview->setFrame({0, 0, 300, 300});
    EXPECT_EQ(constrained->frame().width(), 200) << "a view placed by constraints is left alone";
}

}  // namespace
