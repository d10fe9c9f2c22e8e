#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ListTestSupport.h"
#include "gfx/GeometryPrinting.h"
#include "support/ManualClockScope.h"
#include "ui/CollectionView.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

using gfx::Point;
using gfx::Rect;
using listtest::ColumnLayout;
using listtest::CountingCell;
using listtest::itemRange;
using listtest::ItemSource;
using ui::CollectionView;
using ui::IndexPath;

namespace {

using Paths = std::vector<IndexPath>;

class CollectionViewTest : public testing::Test {
protected:
    void SetUp() override {
        window_->addSubview(view_);
        view_->registerClass("cell", [this] {
            made_.push_back(std::make_shared<CountingCell>());
            return made_.back();
        });
        source_->count = 50;
        view_->setDataSource(source_);
        view_->setDelegate(source_);
        window_->layoutTree();
    }

    void scrollTo(double y) {
        view_->setContentOffset({0, y});
        window_->layoutTree();
    }

    int reuses() const {
        int total = 0;
        for (const auto& cell : made_) total += cell->reuses;
        return total;
    }

    testsupport::ManualClockScope clock_;
    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(Rect(0, 0, 375, 667));
    std::shared_ptr<ColumnLayout> layout_ = std::make_shared<ColumnLayout>();
    std::shared_ptr<CollectionView> view_ =
        std::make_shared<CollectionView>(Rect(0, 0, 375, 667), layout_);
    std::shared_ptr<ItemSource> source_ = std::make_shared<ItemSource>();
    std::vector<std::shared_ptr<CountingCell>> made_;
};

TEST_F(CollectionViewTest, CellsExistOnlyForItemsMeetingTheBounds) {
    for (const bool everything : {false, true}) {
        SCOPED_TRACE(everything ? "layout answers every item" : "layout answers the rect");
        layout_->answersEverything = everything;
        view_->setContentOffset({0, 0});
        view_->reloadData();
        source_->asked.clear();
        window_->layoutTree();
        // 0...667 meets items 0 to 6 (item 6 spans 600...700).
        EXPECT_EQ(source_->asked, itemRange(0, 6));
        EXPECT_EQ(view_->indexPathsForVisibleItems(), itemRange(0, 6));

        scrollTo(250);  // 250...917: items 2 to 9
        EXPECT_EQ(source_->asked, (itemRange(0, 9)));
        EXPECT_EQ(view_->indexPathsForVisibleItems(), itemRange(2, 9));
        EXPECT_EQ(view_->cellForItemAtIndexPath({0, 1}), nullptr);
        ASSERT_NE(view_->cellForItemAtIndexPath({0, 9}), nullptr);
        EXPECT_EQ(view_->cellForItemAtIndexPath({0, 9})->frame(), Rect(0, 900, 375, 100));

        // Laying out again without a scroll asks for nothing new.
        view_->setNeedsLayout();
        window_->layoutTree();
        EXPECT_EQ(source_->asked.size(), 10u);
    }
}

TEST_F(CollectionViewTest, ItemsScrolledAwayAreReusedThroughDequeue) {
    EXPECT_EQ(made_.size(), 7u);
    const auto first = view_->cellForItemAtIndexPath({0, 0});
    scrollTo(300);  // items 3 to 9: 0, 1, 2 left, 7, 8, 9 came
    EXPECT_EQ(made_.size(), 7u);
    EXPECT_EQ(reuses(), 3);
    EXPECT_EQ(source_->ended, itemRange(0, 2));
    // The cell that showed item 0 now shows one of the new items.
    ASSERT_TRUE(first->indexPath().has_value());
    EXPECT_GE(first->indexPath()->item, 7);
    EXPECT_EQ(view_->cellForItemAtIndexPath(*first->indexPath()), first);

    scrollTo(1500);  // items 15 to 21: all seven cells leave and come back
    EXPECT_EQ(made_.size(), 7u);
    EXPECT_EQ(reuses(), 10);
    EXPECT_EQ(view_->indexPathsForVisibleItems(), itemRange(15, 21));
    for (const auto& cell : view_->visibleCells()) {
        ASSERT_TRUE(cell->indexPath().has_value());
        EXPECT_EQ(cell->frame().minY(), cell->indexPath()->item * 100);
        EXPECT_EQ(cell->superview(), view_);
    }

    // A fling to the end still only needs the cells on screen.
    ui::TouchInjector(*window_).fling({200, 600}, {200, 100});
    clock_.advance(3);
    window_->layoutTree();
    EXPECT_EQ(view_->contentOffset().y, 5000 - 667);
    EXPECT_EQ(view_->indexPathsForVisibleItems(), itemRange(43, 49));
    EXPECT_EQ(made_.size(), 7u);
}

TEST_F(CollectionViewTest, AttributesDriveGeometryAndContentSize) {
    EXPECT_EQ(view_->contentSize(), (gfx::Size{375, 5000}));

    // Lay items 1 and 2 out by hand: moved, scaled, faded, hidden, layered.
    auto& attributes = layout_->prepared();
    attributes[1].setFrame({20, 40, 100, 50});
    attributes[1].setTransform(gfx::AffineTransform::scaling(2, 2));
    attributes[1].setAlpha(0.5);
    attributes[1].setZIndex(3);
    attributes[2].setSize({50, 10});
    attributes[2].setHidden(true);
    view_->setNeedsLayout();
    window_->layoutTree();

    const auto moved = view_->cellForItemAtIndexPath({0, 1});
    EXPECT_EQ(moved->bounds().size, (gfx::Size{100, 50}));
    EXPECT_EQ(moved->center(), (Point{70, 65}));
    EXPECT_EQ(moved->frame(), Rect(-30, 15, 200, 100));
    EXPECT_EQ(moved->alpha(), 0.5);
    EXPECT_EQ(view_->subviews().back(), moved);  // the highest z-index draws last
    const auto hidden = view_->cellForItemAtIndexPath({0, 2});
    EXPECT_TRUE(hidden->isHidden());
    EXPECT_EQ(hidden->frame(), Rect(162.5, 245, 50, 10));  // resized about its centre

    ASSERT_TRUE(view_->layoutAttributesForItemAtIndexPath({0, 1}));
    EXPECT_EQ(view_->layoutAttributesForItemAtIndexPath({0, 1})->frame(), Rect(20, 40, 100, 50));
    EXPECT_EQ(view_->indexPathForItemAtPoint({30, 50}), (IndexPath{0, 1}));  // above item 0
    EXPECT_EQ(view_->indexPathForItemAtPoint({30, 5}), (IndexPath{0, 0}));
    EXPECT_EQ(view_->indexPathForItemAtPoint({30, 6000}), std::nullopt);
}

TEST_F(CollectionViewTest, ReloadReadsNewCountsAndPreparesAgain) {
    const int prepared = layout_->prepareCount;
    source_->count = 3;
    window_->layoutTree();
    EXPECT_EQ(view_->numberOfItemsInSection(0), 50);  // not reloaded yet
    EXPECT_EQ(view_->visibleCells().size(), 7u);

    view_->reloadData();
    EXPECT_TRUE(view_->visibleCells().empty());
    EXPECT_EQ(source_->ended, itemRange(0, 6));
    window_->layoutTree();
    EXPECT_EQ(layout_->prepareCount, prepared + 1);
    EXPECT_EQ(view_->numberOfItemsInSection(0), 3);
    EXPECT_EQ(view_->indexPathsForVisibleItems(), itemRange(0, 2));
    EXPECT_EQ(view_->contentSize().height, 300);
    EXPECT_EQ(made_.size(), 7u);  // the dropped cells came back

    source_->count = 5;
    view_->insertItemsAtIndexPaths({{0, 3}, {0, 4}});
    window_->layoutTree();
    EXPECT_EQ(view_->indexPathsForVisibleItems(), itemRange(0, 4));

    bool completed = false;
    view_->performBatchUpdates([this] { source_->count = 1; },
                               [&](bool finished) { completed = finished; });
    EXPECT_TRUE(completed);
    EXPECT_EQ(view_->indexPathsForVisibleItems(), itemRange(0, 0));
}

TEST_F(CollectionViewTest, SettingTheLayoutAgainPreparesItAgain) {
    const int prepared = layout_->prepareCount;
    view_->setCollectionViewLayout(layout_);
    window_->layoutTree();
    EXPECT_EQ(layout_->prepareCount, prepared + 1);
    EXPECT_EQ(layout_->collectionView(), view_.get());

    const auto other = std::make_shared<ColumnLayout>();
    other->itemHeight = 50;
    view_->setCollectionViewLayout(other);
    window_->layoutTree();
    EXPECT_EQ(layout_->collectionView(), nullptr);
    EXPECT_EQ(view_->indexPathsForVisibleItems(), itemRange(0, 13));
    EXPECT_EQ(view_->contentSize().height, 2500);
}

TEST_F(CollectionViewTest, BoundsChangesInvalidateWhenSizedOrAsked) {
    int prepared = layout_->prepareCount;
    scrollTo(100);
    EXPECT_EQ(layout_->prepareCount, prepared);

    view_->setFrame({0, 0, 300, 667});
    window_->layoutTree();
    EXPECT_EQ(layout_->prepareCount, ++prepared);
    EXPECT_EQ(view_->cellForItemAtIndexPath({0, 1})->frame().width(), 300);

    layout_->invalidatesOnScroll = true;
    scrollTo(200);
    EXPECT_EQ(layout_->prepareCount, ++prepared);
}

TEST_F(CollectionViewTest, NoCellsWhileTheViewHasNoSize) {
    const auto empty = std::make_shared<CollectionView>(Rect(), std::make_shared<ColumnLayout>());
    empty->registerClass<CountingCell>("cell");
    const auto source = std::make_shared<ItemSource>();
    source->count = 10;
    empty->setDataSource(source);
    window_->addSubview(empty);
    window_->layoutTree();
    EXPECT_TRUE(source->asked.empty());

    empty->setFrame({0, 0, 100, 150});
    window_->layoutTree();
    EXPECT_EQ(source->asked, itemRange(0, 1));
}

TEST_F(CollectionViewTest, TapSelectsTheItemUnderTheFingerAndADragDoesNot) {
    ui::TouchInjector touches(*window_);
    touches.tap({100, 250});
    EXPECT_EQ(source_->selected, (Paths{{0, 2}}));
    EXPECT_TRUE(view_->cellForItemAtIndexPath({0, 2})->isSelected());
    EXPECT_FALSE(view_->cellForItemAtIndexPath({0, 2})->isHighlighted());

    touches.drag({100, 450}, {100, 250});
    EXPECT_GT(view_->contentOffset().y, 150);
    EXPECT_EQ(source_->selected.size(), 1u);
    for (const auto& cell : view_->visibleCells()) EXPECT_FALSE(cell->isHighlighted());

    // At offset 200, window y 50 is content y 250: item 2 again, then item 5.
    clock_.advance(2);
    scrollTo(200);
    touches.tap({100, 50});
    touches.tap({100, 350});
    EXPECT_EQ(source_->selected, (Paths{{0, 2}, {0, 2}, {0, 5}}));
    EXPECT_EQ(view_->indexPathsForSelectedItems(), (Paths{{0, 5}}));
    EXPECT_FALSE(view_->cellForItemAtIndexPath({0, 2})->isSelected());

    source_->allowSelection = [](const IndexPath& indexPath) { return indexPath.item != 6; };
    touches.tap({100, 450});
    EXPECT_EQ(source_->selected.size(), 3u);
    EXPECT_EQ(view_->indexPathsForSelectedItems(), (Paths{{0, 5}}));
}

TEST_F(CollectionViewTest, FingerHighlightsTheCellUntilItLeaves) {
    const auto touch = window_->touchDown({100, 150});
    const auto cell = view_->cellForItemAtIndexPath({0, 1});
    EXPECT_TRUE(cell->isHighlighted());
    clock_.advance(0.05);
    window_->touchMove(touch, {100, 156});  // still under the pan's threshold
    EXPECT_TRUE(cell->isHighlighted());
    clock_.advance(0.05);
    window_->touchMove(touch, {100, 180});  // the pan takes over
    EXPECT_FALSE(cell->isHighlighted());
    clock_.advance(0.2);
    window_->touchUp(touch, {100, 180});
    EXPECT_TRUE(source_->selected.empty());
}

TEST_F(CollectionViewTest, MultipleSelectionTogglesItems) {
    view_->setAllowsMultipleSelection(true);
    ui::TouchInjector touches(*window_);
    touches.tap({100, 50});
    touches.tap({100, 150});
    EXPECT_EQ(view_->indexPathsForSelectedItems(), (Paths{{0, 0}, {0, 1}}));
    clock_.advance(1);  // not a double tap
    touches.tap({100, 50});
    EXPECT_EQ(view_->indexPathsForSelectedItems(), (Paths{{0, 1}}));
    EXPECT_FALSE(view_->cellForItemAtIndexPath({0, 0})->isSelected());

    // Selection follows items onto the cells that show them later.
    scrollTo(1000);
    scrollTo(0);
    EXPECT_TRUE(view_->cellForItemAtIndexPath({0, 1})->isSelected());
    EXPECT_FALSE(view_->cellForItemAtIndexPath({0, 0})->isSelected());
}

}  // namespace
