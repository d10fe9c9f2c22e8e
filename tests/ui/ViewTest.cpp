#include <gtest/gtest.h>

#include <numbers>
#include <string>
#include <vector>

#include "DeviceProfileScope.h"
#include "gfx/GeometryPrinting.h"
#include "ui/DeviceProfile.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

using gfx::AffineTransform;
using gfx::Point;
using gfx::Rect;
using gfx::Size;
using ui::View;
using ui::Window;

namespace {

constexpr double kHalfTurn = std::numbers::pi / 2;

void expectNear(Point actual, Point expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-9) << "x";
    EXPECT_NEAR(actual.y, expected.y, 1e-9) << "y";
}

void expectNear(const Rect& actual, const Rect& expected) {
    expectNear(actual.origin, expected.origin);
    EXPECT_NEAR(actual.size.width, expected.size.width, 1e-9) << "width";
    EXPECT_NEAR(actual.size.height, expected.size.height, 1e-9) << "height";
}

std::shared_ptr<View> makeView(Rect frame, const std::string& name = "") {
    auto view = std::make_shared<View>(frame);
    view->setAccessibilityIdentifier(name);
    return view;
}

// Records hierarchy hooks and layout passes into a shared log.
class LoggingView : public View {
public:
    LoggingView(std::string name, std::vector<std::string>& log)
        : name_(std::move(name)), log_(log) {}

    void willMoveToSuperview(View* superview) override {
        log_.push_back(name_ + (superview ? " willMoveToSuperview" : " willMoveToSuperview(null)"));
    }
    void didMoveToSuperview() override { log_.push_back(name_ + " didMoveToSuperview"); }
    void willMoveToWindow(Window* window) override {
        log_.push_back(name_ + (window ? " willMoveToWindow" : " willMoveToWindow(null)"));
    }
    void didMoveToWindow() override {
        log_.push_back(name_ + " didMoveToWindow" + (window() ? "" : "(null)"));
    }
    void didAddSubview(View*) override { log_.push_back(name_ + " didAddSubview"); }
    void willRemoveSubview(View*) override { log_.push_back(name_ + " willRemoveSubview"); }
    void layoutSubviews() override {
        log_.push_back(name_ + " layout");
        if (onLayout) onLayout();
    }

    std::function<void()> onLayout;

private:
    std::string name_;
    std::vector<std::string>& log_;
};

TEST(ViewGeometryTest, FrameBoundsAndCenterStayConsistent) {
    const auto view = makeView({10, 20, 100, 50});
    EXPECT_EQ(view->center(), (Point{60, 45}));
    EXPECT_EQ(view->bounds(), Rect(0, 0, 100, 50));

    // The bounds origin scrolls content without moving the view.
    view->setBounds({5, 7, 100, 50});
    EXPECT_EQ(view->frame(), Rect(10, 20, 100, 50));
    // A new bounds size grows about the centre.
    view->setBounds({5, 7, 120, 70});
    EXPECT_EQ(view->frame(), Rect(0, 10, 120, 70));
    view->setFrame({0, 0, 30, 40});
    EXPECT_EQ(view->bounds(), Rect(5, 7, 30, 40));
    EXPECT_EQ(view->center(), (Point{15, 20}));
}

TEST(ViewGeometryTest, FrameFollowsTransformAboutTheCentre) {
    const auto view = makeView({10, 20, 100, 50});
    view->setTransform(AffineTransform::scaling(2, 2));
    EXPECT_EQ(view->frame(), Rect(-40, -5, 200, 100));
    EXPECT_EQ(view->bounds(), Rect(0, 0, 100, 50));

    view->setTransform(AffineTransform::rotation(kHalfTurn));
    expectNear(view->frame(), Rect(35, -5, 50, 100));

    // Setting the frame under a transform keeps it and sizes the bounds so
    // the transformed box fits.
    view->setTransform(AffineTransform::scaling(2, 0.5));
    view->setFrame({0, 0, 100, 100});
    EXPECT_EQ(view->transform(), AffineTransform::scaling(2, 0.5));
    EXPECT_EQ(view->bounds().size, (Size{50, 200}));
    EXPECT_EQ(view->frame(), Rect(0, 0, 100, 100));
}

TEST(ViewGeometryTest, ConversionThroughTransformsAndBoundsOrigins) {
    const auto window = std::make_shared<Window>(Rect(0, 0, 400, 600));
    const auto parent = makeView({100, 100, 200, 200});
    parent->setBounds({0, 50, 200, 200});  // scrolled down by 50
    const auto child = makeView({10, 60, 20, 20});
    window->addSubview(parent);
    parent->addSubview(child);

    expectNear(child->convertPointTo({0, 0}, nullptr), {110, 110});
    expectNear(child->convertPointFrom({110, 110}, nullptr), {0, 0});

    child->setTransform(AffineTransform::scaling(2, 2));
    // The centre (20, 70) stays put; the corner moves twice as far from it.
    expectNear(child->convertPointTo({0, 0}, parent.get()), {0, 50});
    expectNear(child->convertPointTo({0, 0}, nullptr), {100, 100});
    expectNear(child->convertRectTo({0, 0, 20, 20}, nullptr), {100, 100, 40, 40});

    const auto turned = makeView({150, 175, 100, 50});
    turned->setTransform(AffineTransform::rotation(kHalfTurn));
    window->addSubview(turned);
    // The right edge's middle ends up below the centre.
    expectNear(turned->convertPointTo({100, 25}, nullptr), {200, 250});
    // Between two transformed views of one tree, and back.
    const Point inTurned = turned->convertPointFrom({5, 5}, child.get());
    expectNear(inTurned, turned->convertPointFrom(child->convertPointTo({5, 5}, nullptr), nullptr));
    expectNear(child->convertPointFrom(inTurned, turned.get()), {5, 5});
}

TEST(ViewGeometryTest, SafeAreaComesFromTheDeviceOverlap) {
    const testsupport::DeviceProfileScope profile("phone-x");
    ASSERT_TRUE(profile.selected());
    const auto window = std::make_shared<Window>();
    const auto full = makeView(window->bounds());
    const auto middle = makeView({0, 300, 375, 100});
    const auto top = makeView({0, 20, 375, 100});
    window->addSubview(full);
    window->addSubview(middle);
    window->addSubview(top);
    const auto detached = makeView({0, 0, 375, 812});

    EXPECT_EQ(full->safeAreaInsets(), (gfx::EdgeInsets{44, 0, 34, 0}));
    EXPECT_EQ(middle->safeAreaInsets(), gfx::EdgeInsets{});
    EXPECT_EQ(top->safeAreaInsets(), (gfx::EdgeInsets{24, 0, 0, 0}));
    EXPECT_EQ(detached->safeAreaInsets(), gfx::EdgeInsets{});
}

TEST(ViewHitTestTest, LaterSubviewsWinAndInvisibleOnesAreSkipped) {
    const auto root = makeView({0, 0, 300, 300}, "root");
    const auto below = makeView({0, 0, 100, 100}, "below");
    const auto above = makeView({50, 50, 100, 100}, "above");
    const auto inner = makeView({10, 10, 20, 20}, "inner");
    root->addSubview(below);
    root->addSubview(above);
    above->addSubview(inner);

    EXPECT_EQ(root->hitTest({120, 120}), above);
    EXPECT_EQ(root->hitTest({65, 65}), inner);
    EXPECT_EQ(root->hitTest({25, 25}), below);
    EXPECT_EQ(root->hitTest({250, 250}), root);
    EXPECT_EQ(root->hitTest({-1, 5}), nullptr);

    above->setHidden(true);
    EXPECT_EQ(root->hitTest({75, 75}), below);
    above->setHidden(false);
    above->setAlpha(0.005);
    EXPECT_EQ(root->hitTest({75, 75}), below);
    above->setAlpha(1);
    above->setUserInteractionEnabled(false);
    EXPECT_EQ(root->hitTest({65, 65}), below);
}

TEST(ViewHitTestTest, PointsGoThroughTransformsAndBoundsOrigins) {
    const auto root = makeView({0, 0, 300, 300});
    const auto scaled = makeView({100, 100, 20, 20});
    scaled->setTransform(AffineTransform::scaling(4, 4));  // covers 70...150
    root->addSubview(scaled);
    EXPECT_EQ(root->hitTest({75, 145}), scaled);
    EXPECT_EQ(root->hitTest({65, 145}), root);

    const auto scroller = makeView({0, 200, 100, 100});
    scroller->setBounds({0, 300, 100, 100});
    const auto row = makeView({0, 320, 100, 10});
    scroller->addSubview(row);
    root->addSubview(scroller);
    EXPECT_EQ(root->hitTest({50, 225}), row);
    EXPECT_EQ(root->hitTest({50, 215}), scroller);

    // A subview sticking out of its superview is hit only inside it.
    const auto outside = makeView({80, 380, 50, 50});
    scroller->addSubview(outside);
    EXPECT_EQ(root->hitTest({90, 290}), outside);
    EXPECT_EQ(root->hitTest({120, 290}), root);
}

TEST(ViewHierarchyTest, HooksAndWindowPointersFollowMoves) {
    std::vector<std::string> log;
    const auto window = std::make_shared<Window>(Rect(0, 0, 100, 100));
    const auto container = std::make_shared<LoggingView>("container", log);
    const auto child = std::make_shared<LoggingView>("child", log);
    const auto grandchild = std::make_shared<LoggingView>("grandchild", log);
    child->addSubview(grandchild);
    container->addSubview(child);
    log.clear();

    window->addSubview(container);
    EXPECT_EQ(log, (std::vector<std::string>{
                       "container willMoveToSuperview", "container willMoveToWindow",
                       "child willMoveToWindow", "grandchild willMoveToWindow",
                       "container didMoveToWindow", "child didMoveToWindow",
                       "grandchild didMoveToWindow", "container didMoveToSuperview"}));
    EXPECT_EQ(grandchild->window(), window);
    EXPECT_EQ(window->window(), window);

    log.clear();
    const auto other = std::make_shared<LoggingView>("other", log);
    other->addSubview(child);  // moves out of the window
    EXPECT_TRUE(container->subviews().empty());
    EXPECT_EQ(child->superview(), other);
    EXPECT_EQ(grandchild->window(), nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{
                       "child willMoveToSuperview", "child willMoveToWindow(null)",
                       "grandchild willMoveToWindow(null)", "container willRemoveSubview",
                       "child didMoveToWindow(null)", "grandchild didMoveToWindow(null)",
                       "child didMoveToSuperview", "other didAddSubview"}));

    log.clear();
    grandchild->removeFromSuperview();
    EXPECT_EQ(grandchild->superview(), nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"child willRemoveSubview",
                                             "grandchild willMoveToSuperview(null)",
                                             "grandchild didMoveToSuperview"}));
}

TEST(ViewHierarchyTest, OrderingOperations) {
    const auto root = makeView({});
    const auto a = makeView({}, "a");
    const auto b = makeView({}, "b");
    const auto c = makeView({}, "c");
    root->addSubview(a);
    root->addSubview(b);
    root->addSubview(c);
    const auto names = [&root] {
        std::string out;
        for (const auto& v : root->subviews()) out += v->accessibilityIdentifier();
        return out;
    };
    root->addSubview(a);
    EXPECT_EQ(names(), "bca");
    root->insertSubviewBelow(a, b.get());
    EXPECT_EQ(names(), "abc");
    root->insertSubviewAbove(a, c.get());
    EXPECT_EQ(names(), "bca");
    root->insertSubviewAbove(c, b.get());
    EXPECT_EQ(names(), "bca");
    root->sendSubviewToBack(a.get());
    EXPECT_EQ(names(), "abc");
    root->bringSubviewToFront(a.get());
    EXPECT_EQ(names(), "bca");
    root->insertSubview(a, 1);
    EXPECT_EQ(names(), "bac");

    // Cycles are refused.
    a->addSubview(root);
    EXPECT_EQ(root->superview(), nullptr);
    a->addSubview(a);
    EXPECT_TRUE(a->subviews().empty());

    c->setTag(7);
    EXPECT_EQ(root->viewWithTag(7), c);
    EXPECT_TRUE(c->isDescendantOf(root.get()));
    EXPECT_FALSE(root->isDescendantOf(c.get()));
}

TEST(ViewHierarchyTest, SubclassMayRefuseRemoval) {
    class Sticky : public View {
    public:
        void removeFromSuperview() override {}
    };
    const auto root = makeView({});
    const auto sticky = std::make_shared<Sticky>();
    root->addSubview(sticky);
    std::shared_ptr<View> asView = sticky;
    asView->removeFromSuperview();
    EXPECT_EQ(sticky->superview(), root);
    EXPECT_EQ(root->subviews().size(), 1u);
}

TEST(ViewHierarchyTest, ViewsOutlivingTheirWindowForgetIt) {
    const auto kept = makeView({0, 0, 10, 10});
    const auto inner = makeView({0, 0, 5, 5});
    kept->addSubview(inner);
    {
        const auto window = std::make_shared<Window>(Rect(0, 0, 50, 50));
        window->addSubview(kept);
        ASSERT_EQ(inner->window(), window);
    }
    EXPECT_EQ(kept->superview(), nullptr);
    EXPECT_EQ(kept->window(), nullptr);
    EXPECT_EQ(inner->window(), nullptr);
    expectNear(inner->convertPointTo({1, 1}, nullptr), {1, 1});
}

TEST(ViewLayoutTest, MarkedViewsLayOutTopDown) {
    std::vector<std::string> log;
    const auto root = std::make_shared<LoggingView>("root", log);
    const auto left = std::make_shared<LoggingView>("left", log);
    const auto right = std::make_shared<LoggingView>("right", log);
    const auto leaf = std::make_shared<LoggingView>("leaf", log);
    root->addSubview(left);
    root->addSubview(right);
    left->addSubview(leaf);
    log.clear();
    root->layoutIfNeeded();
    EXPECT_EQ(log, (std::vector<std::string>{"root layout", "left layout", "leaf layout",
                                             "right layout"}));

    log.clear();
    root->layoutIfNeeded();
    EXPECT_TRUE(log.empty());

    // A layout that resizes a subview lays that subview out in the same pass.
    root->onLayout = [&] { right->setFrame({0, 0, 40, 40}); };
    root->setNeedsLayout();
    root->layoutIfNeeded();
    EXPECT_EQ(log, (std::vector<std::string>{"root layout", "right layout"}));
    EXPECT_FALSE(right->needsLayout());

    // Only the bounds size marks a view; scrolling its content does not.
    log.clear();
    root->onLayout = nullptr;
    leaf->setBounds({0, 30, 0, 0});
    root->layoutIfNeeded();
    EXPECT_TRUE(log.empty());
    leaf->setFrame({0, 0, 10, 10});
    root->layoutIfNeeded();
    EXPECT_EQ(log, (std::vector<std::string>{"leaf layout"}));
}

TEST(ViewLayoutTest, ControllerHooksWrapItsRootViewLayout) {
    std::vector<std::string> log;
    class Controller : public ui::ViewController {
    public:
        explicit Controller(std::vector<std::string>& log) : log_(log) {}
        void loadView() override { setView(std::make_shared<LoggingView>("root", log_)); }
        void viewWillLayoutSubviews() override { log_.push_back("will"); }
        void viewDidLayoutSubviews() override { log_.push_back("did"); }

    private:
        std::vector<std::string>& log_;
    };
    const auto controller = std::make_shared<Controller>(log);
    const auto view = controller->view();
    view->addSubview(std::make_shared<LoggingView>("child", log));
    log.clear();
    view->layoutIfNeeded();
    EXPECT_EQ(log, (std::vector<std::string>{"will", "root layout", "did", "child layout"}));
}

}  // namespace
