#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "RecordingController.h"
#include "gfx/GeometryPrinting.h"
#include "ui/DeviceProfile.h"
#include "ui/NavigationController.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

using testsupport::EventLog;
using testsupport::recording;
using testsupport::RecordingController;
using Events = std::vector<std::string>;

namespace {

class CustomViewController : public ui::ViewController {
public:
    std::shared_ptr<ui::View> made = std::make_shared<ui::View>(gfx::Rect(0, 0, 10, 10));
    int loads = 0;
    void loadView() override {
        ++loads;
        setView(made);
    }
};

// A parent whose view holds the first child's view; the second child's view
// stays out of the tree.
struct Family {
    std::shared_ptr<EventLog> log = std::make_shared<EventLog>();
    std::shared_ptr<RecordingController> parent = recording("P", log);
    std::shared_ptr<RecordingController> shown = recording("A", log);
    std::shared_ptr<RecordingController> offscreen = recording("B", log);

    Family() {
        for (const auto& child : {shown, offscreen}) {
            parent->addChildViewController(child);
            child->didMoveToParentViewController(parent.get());
        }
        parent->view()->addSubview(shown->view());
        (void)offscreen->view();
        log->take();
    }
};

TEST(ViewControllerTest, LoadsTheViewOnceOnFirstAccess) {
    const auto log = std::make_shared<EventLog>();
    const auto controller = recording("A", log);
    EXPECT_FALSE(controller->isViewLoaded());
    EXPECT_TRUE(log->events().empty());

    const auto view = controller->view();
    EXPECT_EQ(log->take(), (Events{"A loadView", "A viewDidLoad"}));
    EXPECT_TRUE(controller->isViewLoaded());
    EXPECT_EQ(controller->view(), view);
    EXPECT_TRUE(log->events().empty());

    EXPECT_EQ(view->frame(), ui::DeviceProfile::current().screenBounds());
    EXPECT_FALSE(view->backgroundColor().has_value());
    EXPECT_EQ(view->viewController(), controller);
}

TEST(ViewControllerTest, KeepsTheViewLoadViewMakes) {
    const auto controller = std::make_shared<CustomViewController>();
    EXPECT_EQ(controller->view(), controller->made);
    (void)controller->view();
    EXPECT_EQ(controller->loads, 1);
    EXPECT_EQ(controller->made->viewController(), controller);
}

TEST(ViewControllerTest, SetViewMovesTheControllerLink) {
    const auto controller = std::make_shared<ui::ViewController>();
    const auto first = controller->view();
    const auto second = std::make_shared<ui::View>();
    controller->setView(second);
    EXPECT_EQ(controller->view(), second);
    EXPECT_EQ(second->viewController(), controller);
    EXPECT_EQ(first->viewController(), nullptr);
}

TEST(ViewControllerTest, AppearanceGoesParentFirstAndOnlyToShownChildren) {
    Family family;
    family.parent->beginAppearanceTransition(true, false);
    EXPECT_EQ(family.log->take(), (Events{"P willAppear", "A willAppear"}));
    family.parent->beginAppearanceTransition(true, false);
    EXPECT_TRUE(family.log->events().empty()) << "a second begin repeats nothing";
    EXPECT_FALSE(family.parent->isAppeared());

    family.parent->endAppearanceTransition();
    EXPECT_EQ(family.log->take(), (Events{"P didAppear", "A didAppear"}));
    EXPECT_TRUE(family.parent->isAppeared());
    EXPECT_TRUE(family.shown->isAppeared());
    EXPECT_FALSE(family.offscreen->isAppeared());

    family.parent->endAppearanceTransition();
    family.parent->beginAppearanceTransition(true, false);
    EXPECT_TRUE(family.log->events().empty()) << "already appeared";

    family.parent->beginAppearanceTransition(false, true);
    family.parent->endAppearanceTransition();
    EXPECT_EQ(family.log->take(),
              (Events{"P willDisappear", "A willDisappear", "P didDisappear", "A didDisappear"}));
}

TEST(ViewControllerTest, ReversingAnAppearanceMidwaySendsTheOppositeCallbacks) {
    Family family;
    family.parent->beginAppearanceTransition(true, false);
    family.parent->beginAppearanceTransition(false, false);
    family.parent->endAppearanceTransition();
    EXPECT_EQ(family.log->take(), (Events{"P willAppear", "A willAppear", "P willDisappear",
                                          "A willDisappear", "P didDisappear", "A didDisappear"}));
}

TEST(ViewControllerTest, EndWithoutBeginSendsNothing) {
    Family family;
    family.parent->endAppearanceTransition();
    EXPECT_TRUE(family.log->events().empty());
}

TEST(ViewControllerTest, ContainmentCallsTheMoveHooksAroundTheChange) {
    const auto log = std::make_shared<EventLog>();
    const auto parent = recording("P", log);
    const auto child = recording("C", log);

    parent->addChildViewController(child);
    EXPECT_EQ(child->moves, (Events{"will parent"}));
    EXPECT_EQ(child->parentViewController(), parent);
    ASSERT_EQ(parent->childViewControllers().size(), 1u);
    parent->addChildViewController(child);
    EXPECT_EQ(parent->childViewControllers().size(), 1u) << "adding twice keeps one entry";

    child->willMoveToParentViewController(nullptr);
    child->removeFromParentViewController();
    EXPECT_EQ(child->moves, (Events{"will parent", "will nil", "did nil"}));
    EXPECT_EQ(child->parentViewController(), nullptr);
    EXPECT_TRUE(parent->childViewControllers().empty());

    child->removeFromParentViewController();
    EXPECT_EQ(child->moves.size(), 3u) << "removing an orphan does nothing";
}

TEST(ViewControllerTest, AddingAChildOfAnotherParentMovesIt) {
    const auto first = std::make_shared<ui::ViewController>();
    const auto second = std::make_shared<ui::ViewController>();
    const auto child = std::make_shared<ui::ViewController>();
    first->addChildViewController(child);
    second->addChildViewController(child);
    EXPECT_TRUE(first->childViewControllers().empty());
    EXPECT_EQ(child->parentViewController(), second);
}

TEST(ViewControllerTest, FindsTheNearestNavigationControllerAmongParents) {
    const auto inner = std::make_shared<ui::ViewController>();
    const auto page = std::make_shared<ui::ViewController>();
    const auto navigation = ui::NavigationController::create(page);
    page->addChildViewController(inner);

    EXPECT_EQ(inner->navigationController(), navigation);
    EXPECT_EQ(page->navigationController(), navigation);
    EXPECT_EQ(navigation->navigationController(), navigation);
    EXPECT_EQ(std::make_shared<ui::ViewController>()->navigationController(), nullptr);
}

TEST(ViewControllerTest, NextResponderIsTheViewsSuperview) {
    const auto controller = std::make_shared<ui::ViewController>();
    EXPECT_EQ(controller->nextResponder(), nullptr);
    const auto container = std::make_shared<ui::View>();
    container->addSubview(controller->view());
    EXPECT_EQ(controller->nextResponder(), container.get());
}

TEST(ViewControllerTest, DescriptionNamesTheClassAndTitle) {
    const auto controller = std::make_shared<CustomViewController>();
    EXPECT_NE(controller->description().find("CustomViewController"), std::string::npos);
    controller->setTitle("Settings");
    EXPECT_NE(controller->description().find("\"Settings\""), std::string::npos);
}

}  // namespace
