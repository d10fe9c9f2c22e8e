#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gfx/GeometryPrinting.h"
#include "support/ManualClockScope.h"
#include "ui/Button.h"
#include "ui/SearchBar.h"
#include "ui/SearchTextField.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

using gfx::Rect;
using ui::SearchBar;

namespace {

using Events = std::vector<std::string>;

class Recorder : public ui::SearchBarDelegate {
public:
    Events events;
    bool allowBegin = true;
    bool allowEnd = true;

    bool searchBarShouldBeginEditing(SearchBar&) override {
        events.push_back("shouldBegin");
        return allowBegin;
    }
    void searchBarTextDidBeginEditing(SearchBar&) override { events.push_back("didBegin"); }
    bool searchBarShouldEndEditing(SearchBar&) override {
        events.push_back("shouldEnd");
        return allowEnd;
    }
    void searchBarTextDidEndEditing(SearchBar&) override { events.push_back("didEnd"); }
    void searchBarTextDidChange(SearchBar&, const std::string& text) override {
        events.push_back("change " + text);
    }
    void searchBarSearchButtonClicked(SearchBar& bar) override {
        events.push_back("search " + bar.text());
    }
    void searchBarCancelButtonClicked(SearchBar&) override { events.push_back("cancel"); }
};

class SearchBarTest : public testing::Test {
protected:
    void SetUp() override {
        window_->addSubview(bar_);
        bar_->setDelegate(recorder_);
        window_->layoutTree();
    }

    testsupport::ManualClockScope clock_;
    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(Rect(0, 0, 375, 667));
    std::shared_ptr<SearchBar> bar_ = std::make_shared<SearchBar>(Rect(0, 20, 375, 60));
    std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>();
};

TEST_F(SearchBarTest, TapMakesItFirstResponderAndTypingReachesTheDelegate) {
    bar_->insertText("ignored");  // no keyboard yet
    EXPECT_EQ(bar_->text(), "");

    ui::TouchInjector(*window_).tap({100, 50});
    EXPECT_TRUE(bar_->isFirstResponder());
    EXPECT_EQ(window_->firstResponder(), bar_.get());
    EXPECT_TRUE(bar_->searchField()->isEditing());

    window_->firstResponder()->insertText("ca");
    bar_->insertText("t");
    bar_->returnKeyPressed();
    EXPECT_EQ(recorder_->events,
              (Events{"shouldBegin", "didBegin", "change ca", "change cat", "search cat"}));
    EXPECT_EQ(bar_->searchField()->text(), "cat");
}

TEST_F(SearchBarTest, NewlineInTypedTextIsTheSearchButton) {
    ASSERT_TRUE(bar_->becomeFirstResponder());
    recorder_->events.clear();
    bar_->insertText("sea\nx");
    EXPECT_EQ(recorder_->events, (Events{"change sea", "search sea", "change seax"}));
}

TEST_F(SearchBarTest, DeleteBackwardRemovesWholeCharacters) {
    ASSERT_TRUE(bar_->becomeFirstResponder());
    bar_->insertText("a猫");
    recorder_->events.clear();
    bar_->deleteBackward();
    EXPECT_EQ(bar_->text(), "a");
    bar_->deleteBackward();
    bar_->deleteBackward();  // nothing left: no change reported
    EXPECT_EQ(bar_->text(), "");
    EXPECT_EQ(recorder_->events, (Events{"change a", "change "}));
}

TEST_F(SearchBarTest, ResigningEndsEditing) {
    ASSERT_TRUE(bar_->becomeFirstResponder());
    recorder_->allowEnd = false;
    EXPECT_FALSE(bar_->resignFirstResponder());
    EXPECT_TRUE(bar_->isFirstResponder());

    recorder_->allowEnd = true;
    recorder_->events.clear();
    EXPECT_TRUE(bar_->resignFirstResponder());
    EXPECT_EQ(recorder_->events, (Events{"shouldEnd", "didEnd"}));
    EXPECT_FALSE(bar_->isFirstResponder());
    EXPECT_EQ(window_->firstResponder(), nullptr);
    EXPECT_FALSE(bar_->searchField()->isEditing());
    bar_->insertText("x");
    bar_->returnKeyPressed();
    EXPECT_EQ(recorder_->events.size(), 2u);
}

TEST_F(SearchBarTest, DelegateMayRefuseToBegin) {
    recorder_->allowBegin = false;
    ui::TouchInjector(*window_).tap({100, 50});
    EXPECT_FALSE(bar_->isFirstResponder());
    EXPECT_EQ(recorder_->events, (Events{"shouldBegin"}));
}

TEST_F(SearchBarTest, AnotherResponderOrLeavingTheWindowEndsEditing) {
    const auto other = std::make_shared<SearchBar>(Rect(0, 100, 375, 60));
    window_->addSubview(other);
    ASSERT_TRUE(bar_->becomeFirstResponder());
    recorder_->events.clear();
    ASSERT_TRUE(other->becomeFirstResponder());
    EXPECT_EQ(recorder_->events, (Events{"shouldEnd", "didEnd"}));
    EXPECT_EQ(window_->firstResponder(), other.get());

    ASSERT_TRUE(bar_->becomeFirstResponder());
    recorder_->events.clear();
    bar_->removeFromSuperview();
    EXPECT_FALSE(bar_->isFirstResponder());
    EXPECT_EQ(recorder_->events, (Events{"shouldEnd", "didEnd"}));
}

TEST_F(SearchBarTest, SettingTextTellsNobody) {
    bar_->setText("kept");
    bar_->setPlaceholder("Search");
    EXPECT_TRUE(recorder_->events.empty());
    EXPECT_EQ(bar_->searchField()->text(), "kept");
    EXPECT_EQ(bar_->searchField()->placeholder(), "Search");
}

TEST_F(SearchBarTest, CancelButtonShowsOnRequestAndReportsTaps) {
    EXPECT_TRUE(bar_->cancelButton()->isHidden());
    const double fullField = bar_->searchField()->frame().width();
    EXPECT_EQ(fullField, 375 - 2 * SearchBar::kMargin);

    bar_->setShowsCancelButton(true);
    window_->layoutTree();
    const auto cancel = bar_->cancelButton();
    EXPECT_FALSE(cancel->isHidden());
    EXPECT_LT(bar_->searchField()->frame().maxX(), cancel->frame().minX());
    const gfx::Point centre = cancel->convertPointTo(cancel->bounds().center(), nullptr);
    ui::TouchInjector(*window_).tap(centre);
    EXPECT_EQ(recorder_->events, (Events{"cancel"}));
    EXPECT_FALSE(bar_->isFirstResponder());
}

TEST_F(SearchBarTest, BackgroundIsTheFirstSubviewOfTheFirstSubview) {
    // Screens fade the bar's background through this path.
    const auto fresh = std::make_shared<SearchBar>();
    window_->addSubview(fresh);
    ASSERT_FALSE(fresh->subviews().empty());
    ASSERT_FALSE(fresh->subviews().front()->subviews().empty());
    EXPECT_EQ(fresh->subviews().front()->subviews().front(), fresh->backgroundView());

    fresh->setBarStyle(ui::BarStyle::BlackTranslucent);
    const auto dark = fresh->backgroundView()->backgroundColor();
    fresh->setBarTintColor(gfx::Color{0, 0, 1, 1});
    EXPECT_NE(fresh->backgroundView()->backgroundColor(), dark);
    EXPECT_EQ(fresh->backgroundView()->backgroundColor(), (gfx::Color{0, 0, 1, 1}));
}

}  // namespace
