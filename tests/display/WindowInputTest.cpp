#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "display/WindowInput.h"
#include "gfx/GeometryPrinting.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/HistoryNavigating.h"
#include "ui/NavigationController.h"
#include "ui/ScrollView.h"
#include "ui/SearchBar.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

using display::WindowInput;
using gfx::Point;
using gfx::Rect;

namespace {

class ScrollLog : public ui::ScrollViewDelegate {
public:
    std::shared_ptr<ui::View> zoomed;
    int scrolls = 0;
    int rests = 0;

    void scrollViewDidScroll(ui::ScrollView&) override { ++scrolls; }
    void scrollViewDidEndDecelerating(ui::ScrollView&) override { ++rests; }
    std::shared_ptr<ui::View> viewForZooming(ui::ScrollView&) override { return zoomed; }
};

// Pages side by side in a horizontal paging scroll view; the first page is
// a vertical feed.
class WindowInputScrollTest : public testing::Test {
protected:
    void SetUp() override {
        window_->addSubview(pages_);
        pages_->setPagingEnabled(true);
        pages_->setContentSize({375 * 3, 667});
        pages_->addSubview(feed_);
        feed_->setContentSize({375, 2000});
        feed_->setDelegate(log_);
    }

    testsupport::ManualClockScope clock_;
    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(Rect(0, 0, 375, 667));
    std::shared_ptr<ui::ScrollView> pages_ = std::make_shared<ui::ScrollView>(Rect(0, 0, 375, 667));
    std::shared_ptr<ui::ScrollView> feed_ = std::make_shared<ui::ScrollView>(Rect(0, 0, 375, 667));
    std::shared_ptr<ScrollLog> log_ = std::make_shared<ScrollLog>();
};

}  // namespace

TEST_F(WindowInputScrollTest, TheWheelScrollsTheFeedUnderThePointerWithinItsContent) {
    EXPECT_TRUE(WindowInput::scroll(*window_, {100, 300}, {0, 150}));
    EXPECT_EQ(feed_->contentOffset(), (Point{0, 150}));
    EXPECT_EQ(pages_->contentOffset(), (Point{0, 0}));
    EXPECT_EQ(log_->scrolls, 1);
    EXPECT_EQ(log_->rests, 1);  // at rest at once, so feeds load more as after a fling

    EXPECT_TRUE(WindowInput::scroll(*window_, {100, 300}, {0, 5000}));
    EXPECT_EQ(feed_->contentOffset().y, 2000 - 667);
    EXPECT_FALSE(WindowInput::scroll(*window_, {100, 300}, {0, 10}));  // at the bottom

    feed_->setContentInset({64, 0, 0, 0});
    EXPECT_TRUE(WindowInput::scroll(*window_, {100, 300}, {0, -9000}));
    EXPECT_EQ(feed_->contentOffset().y, -64);
    EXPECT_FALSE(WindowInput::scroll(*window_, {100, 700}, {0, 10}));  // outside the window
}

// Content of its own under the pointer that takes the wheel when told to.
class WheelTaker : public ui::View {
public:
    using ui::View::View;
    bool takes = true;
    std::vector<std::pair<Point, Point>> wheels;  // location, delta

    bool scrollWheel(Point location, Point delta) override {
        wheels.emplace_back(location, delta);
        return takes;
    }
};

TEST_F(WindowInputScrollTest, AViewWithContentOfItsOwnTakesTheWheelBeforeTheFeedAroundIt) {
    const auto page = std::make_shared<WheelTaker>(Rect(40, 100, 200, 100));
    feed_->addSubview(page);
    feed_->setContentOffset({0, 50});

    EXPECT_TRUE(WindowInput::scroll(*window_, {100, 100}, {0, 30}));
    ASSERT_EQ(page->wheels.size(), 1u);
    EXPECT_EQ(page->wheels[0].first, (Point{60, 50}));  // in the page's own coordinates
    EXPECT_EQ(page->wheels[0].second, (Point{0, 30}));
    EXPECT_EQ(feed_->contentOffset(), (Point{0, 50}));

    // Left to the feed when it does not take it; nothing asks a view elsewhere.
    page->takes = false;
    EXPECT_TRUE(WindowInput::scroll(*window_, {100, 100}, {0, 30}));
    EXPECT_EQ(feed_->contentOffset(), (Point{0, 80}));
    EXPECT_TRUE(WindowInput::scroll(*window_, {300, 400}, {0, 30}));
    EXPECT_EQ(page->wheels.size(), 2u);
}

TEST_F(WindowInputScrollTest, SidewaysTheWheelTurnsPagesOneAtATime) {
    EXPECT_TRUE(WindowInput::scroll(*window_, {100, 300}, {30, 4}));
    EXPECT_EQ(feed_->contentOffset(), (Point{0, 0}));
    // Between pages a further notch is taken but changes nothing.
    clock_.advance(0.1);
    const Point moving = pages_->contentOffset();
    EXPECT_GT(moving.x, 0);
    EXPECT_LT(moving.x, 375);
    EXPECT_TRUE(WindowInput::scroll(*window_, {100, 300}, {30, 0}));
    clock_.advance(1);
    EXPECT_EQ(pages_->contentOffset(), (Point{375, 0}));

    EXPECT_TRUE(WindowInput::scroll(*window_, {100, 300}, {30, 0}));
    clock_.advance(1);
    EXPECT_FALSE(WindowInput::scroll(*window_, {100, 300}, {30, 0}));  // the last page
    EXPECT_TRUE(WindowInput::scroll(*window_, {100, 300}, {-30, 0}));
    clock_.advance(1);
    EXPECT_EQ(pages_->contentOffset(), (Point{375, 0}));
}

TEST_F(WindowInputScrollTest, NothingWhileAFingerHoldsTheScrollView) {
    const auto touch = window_->touchDown({100, 400});
    clock_.advance(0.05);
    window_->touchMove(touch, {100, 370});
    ASSERT_TRUE(feed_->isTracking());
    const Point held = feed_->contentOffset();
    EXPECT_FALSE(WindowInput::scroll(*window_, {100, 300}, {0, 100}));
    EXPECT_EQ(feed_->contentOffset(), held);
    window_->touchCancel(touch);
}

TEST(WindowInputZoomTest, ZoomKeepsThePointUnderThePointer) {
    testsupport::ManualClockScope clock;
    const auto window = std::make_shared<ui::Window>(Rect(0, 0, 375, 667));
    const auto scroll = std::make_shared<ui::ScrollView>(Rect(0, 0, 375, 667));
    const auto photo = std::make_shared<ui::View>(Rect(0, 0, 375, 667));
    const auto log = std::make_shared<ScrollLog>();
    log->zoomed = photo;
    window->addSubview(scroll);
    scroll->addSubview(photo);
    scroll->setContentSize({375, 667});
    scroll->setDelegate(log);
    scroll->setMaximumZoomScale(3);

    const Point pointer{300, 200};
    EXPECT_TRUE(WindowInput::zoom(*window, pointer, 2));
    EXPECT_EQ(scroll->zoomScale(), 2);
    const Point under = photo->convertPointFrom(pointer, nullptr);
    EXPECT_NEAR(under.x, 300, 0.5);
    EXPECT_NEAR(under.y, 200, 0.5);

    EXPECT_TRUE(WindowInput::zoom(*window, pointer, 4));
    EXPECT_EQ(scroll->zoomScale(), 3);
    EXPECT_FALSE(WindowInput::zoom(*window, pointer, 2));  // at the limit

    EXPECT_TRUE(WindowInput::zoom(*window, {10, 10}, 0.1));
    EXPECT_EQ(scroll->zoomScale(), 1);
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 0}));  // kept within the content

    log->zoomed = nullptr;
    EXPECT_FALSE(WindowInput::zoom(*window, pointer, 2));
}

namespace {

class SearchLog : public ui::SearchBarDelegate {
public:
    std::vector<std::string> searches;
    void searchBarSearchButtonClicked(ui::SearchBar& bar) override {
        searches.push_back(bar.text());
    }
};

}  // namespace

TEST(WindowInputKeysTest, TypingGoesToASearchBarMadeFirstResponderBeforeItWasShown) {
    testsupport::ManualClockScope clock;
    const auto window = std::make_shared<ui::Window>(Rect(0, 0, 375, 667));
    EXPECT_FALSE(WindowInput::insertText(*window, "x"));
    EXPECT_FALSE(WindowInput::pressReturn(*window));

    const auto bar = std::make_shared<ui::SearchBar>(Rect(0, 20, 375, 56));
    const auto log = std::make_shared<SearchLog>();
    bar->setDelegate(log);
    ASSERT_TRUE(bar->becomeFirstResponder());  // as a screen does in viewDidLoad
    window->addSubview(bar);

    EXPECT_TRUE(WindowInput::insertText(*window, "sea"));
    EXPECT_TRUE(WindowInput::insertText(*window, "海x"));
    EXPECT_TRUE(WindowInput::deleteBackward(*window));
    EXPECT_TRUE(WindowInput::pressReturn(*window));
    EXPECT_EQ(log->searches, std::vector<std::string>{"sea海"});

    bar->removeFromSuperview();
    EXPECT_FALSE(WindowInput::insertText(*window, "lost"));
    EXPECT_EQ(bar->text(), "sea海");
}

// Page history steps in the page shown: one whose view is hidden (kept
// behind another) is passed over for the next shown, and with none shown
// nothing steps.
TEST(WindowInputBackTest, HistoryStepsOnlyInAPageShown) {
    class Page : public ui::ViewController, public ui::HistoryNavigating {
    public:
        std::vector<ui::HistoryStep> taken;
        bool canStepInHistory(ui::HistoryStep) const override { return true; }
        bool stepInHistory(ui::HistoryStep step) override {
            taken.push_back(step);
            return true;
        }
    };
    const auto container = std::make_shared<ui::ViewController>();
    const auto behind = std::make_shared<Page>();
    const auto front = std::make_shared<Page>();
    for (const auto& page : {behind, front}) {
        container->addChildViewController(page);
        container->view()->addSubview(page->view());
    }
    behind->view()->setHidden(true);
    const auto window = std::make_shared<ui::Window>();
    window->setRootViewController(container);
    window->makeKeyAndVisible();

    EXPECT_TRUE(WindowInput::stepInHistory(*window, ui::HistoryStep::Back));
    EXPECT_EQ(front->taken, std::vector<ui::HistoryStep>{ui::HistoryStep::Back});
    front->view()->setHidden(true);
    EXPECT_FALSE(WindowInput::stepInHistory(*window, ui::HistoryStep::Forward));
    EXPECT_TRUE(behind->taken.empty());
    EXPECT_EQ(front->taken.size(), 1u);
    ui::Application::shared().resetForTesting();
}

TEST(WindowInputBackTest, EscapeDismissesWhatIsPresentedThenPopsTheNavigation) {
    testsupport::ManualClockScope clock;
    const auto home = std::make_shared<ui::ViewController>();
    const auto detail = std::make_shared<ui::ViewController>();
    const auto modal = std::make_shared<ui::ViewController>();
    const auto navigation = ui::NavigationController::create(home);
    const auto window = std::make_shared<ui::Window>();
    window->setRootViewController(navigation);
    window->makeKeyAndVisible();
    navigation->pushViewController(detail, false);
    navigation->presentViewController(modal, false);

    EXPECT_TRUE(WindowInput::goBack(*window));
    clock.advance(1);
    EXPECT_EQ(navigation->presentedViewController(), nullptr);
    EXPECT_EQ(navigation->topViewController(), detail);

    EXPECT_TRUE(WindowInput::goBack(*window));
    clock.advance(1);
    EXPECT_EQ(navigation->topViewController(), home);
    EXPECT_FALSE(WindowInput::goBack(*window));  // nothing to go back from
    ui::Application::shared().resetForTesting();
}

// A screen of pages with a history of its own, as an in-app browser is.
class PagesScreen : public ui::ViewController, public ui::HistoryNavigating {
public:
    bool canStepInHistory(ui::HistoryStep) const override { return true; }
    bool stepInHistory(ui::HistoryStep) override { return true; }
};

// Escape leaves a browser alone, shown by itself or inside another screen:
// its Done does more than taking it away. Its history keys still step.
TEST(WindowInputBackTest, EscapeLeavesAScreenOfPagesShown) {
    testsupport::ManualClockScope clock;
    const auto home = std::make_shared<ui::ViewController>();
    const auto window = std::make_shared<ui::Window>();
    window->setRootViewController(home);
    window->makeKeyAndVisible();
    const auto browser = std::make_shared<PagesScreen>();
    home->presentViewController(browser, false);
    EXPECT_FALSE(WindowInput::goBack(*window));
    clock.advance(1);
    EXPECT_EQ(home->presentedViewController(), browser);
    EXPECT_TRUE(WindowInput::stepInHistory(*window, ui::HistoryStep::Back));

    browser->dismissViewController(false);
    const auto holder = std::make_shared<ui::ViewController>();
    const auto inside = std::make_shared<PagesScreen>();
    holder->addChildViewController(inside);
    holder->view()->addSubview(inside->view());
    home->presentViewController(holder, false);
    EXPECT_FALSE(WindowInput::goBack(*window));
    clock.advance(1);
    EXPECT_EQ(home->presentedViewController(), holder);
    ui::Application::shared().resetForTesting();
}
