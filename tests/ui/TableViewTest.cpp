#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "ListTestSupport.h"
#include "gfx/GeometryPrinting.h"
#include "support/ManualClockScope.h"
#include "ui/Label.h"
#include "ui/TableView.h"
#include "ui/TableViewGeometry.h"
#include "ui/TableViewHeaderFooterView.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

using gfx::Rect;
using listtest::itemRange;
using listtest::RowSource;
using ui::IndexPath;
using ui::TableView;

namespace {

using Paths = std::vector<IndexPath>;

class TableViewTest : public testing::Test {
protected:
    void SetUp() override {
        window_->addSubview(table_);
        table_->registerClass("row", [this] {
            ++made_;
            return std::make_shared<ui::TableViewCell>();
        });
    }

    void show(std::vector<int> rows) {
        source_->rows = std::move(rows);
        table_->setDataSource(source_);
        table_->setDelegate(source_);
        window_->layoutTree();
    }

    void scrollTo(double y) {
        table_->setContentOffset({0, y});
        window_->layoutTree();
    }

    testsupport::ManualClockScope clock_;
    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(Rect(0, 0, 375, 667));
    std::shared_ptr<TableView> table_ = std::make_shared<TableView>(Rect(0, 0, 375, 667));
    std::shared_ptr<RowSource> source_ = std::make_shared<RowSource>();
    int made_ = 0;
};

TEST_F(TableViewTest, RowsStackAtTheirHeights) {
    // Rows 0 to 4: 100, 44 (default), 30, 0, 44 (default).
    source_->height = [](const IndexPath& p) -> std::optional<double> {
        switch (p.row()) {
            case 0:
                return 100;
            case 2:
                return 30;
            case 3:
                return 0;
            default:
                return std::nullopt;
        }
    };
    show({5});
    EXPECT_EQ(table_->rectForRowAtIndexPath({0, 0}), Rect(0, 0, 375, 100));
    EXPECT_EQ(table_->rectForRowAtIndexPath({0, 1}), Rect(0, 100, 375, 44));
    EXPECT_EQ(table_->rectForRowAtIndexPath({0, 2}), Rect(0, 144, 375, 30));
    EXPECT_EQ(table_->rectForRowAtIndexPath({0, 4}), Rect(0, 174, 375, 44));
    EXPECT_EQ(table_->rectForRowAtIndexPath({0, 5}), Rect());
    EXPECT_EQ(table_->contentSize(), (gfx::Size{375, 218}));

    // The zero-height row gets no cell; the others sit where their rects are.
    EXPECT_EQ(table_->indexPathsForVisibleRows(), (Paths{{0, 0}, {0, 1}, {0, 2}, {0, 4}}));
    EXPECT_EQ(table_->cellForRowAtIndexPath({0, 2})->frame(), Rect(0, 144, 375, 30));

    EXPECT_EQ(table_->indexPathForRowAtPoint({10, 99.5}), (IndexPath{0, 0}));
    EXPECT_EQ(table_->indexPathForRowAtPoint({10, 100}), (IndexPath{0, 1}));
    EXPECT_EQ(table_->indexPathForRowAtPoint({10, 174}), (IndexPath{0, 4}));
    EXPECT_EQ(table_->indexPathForRowAtPoint({10, 218}), std::nullopt);
    EXPECT_EQ(table_->indexPathForRowAtPoint({400, 50}), std::nullopt);

    // Rows 1 and 4 follow the default.
    table_->setRowHeight(60);
    window_->layoutTree();
    EXPECT_EQ(table_->rectForRowAtIndexPath({0, 4}), Rect(0, 190, 375, 60));
}

TEST_F(TableViewTest, OnlyVisibleRowsHaveCellsAndLeavingRowsAreReused) {
    show({100});
    // 0...667 meets rows 0 to 15 (row 15 spans 660...704).
    EXPECT_EQ(source_->asked, itemRange(0, 15));
    EXPECT_EQ(made_, 16);

    source_->asked.clear();
    scrollTo(1000);  // 1000...1667: rows 22 to 37
    EXPECT_EQ(source_->asked, itemRange(22, 37));
    EXPECT_EQ(table_->indexPathsForVisibleRows(), itemRange(22, 37));
    EXPECT_EQ(made_, 16);
    EXPECT_EQ(source_->ended, itemRange(0, 15));
    for (const auto& cell : table_->visibleCells()) {
        const auto indexPath = table_->indexPathForCell(*cell);
        ASSERT_TRUE(indexPath.has_value());
        EXPECT_EQ(cell->frame().minY(), indexPath->row() * 44);
        EXPECT_EQ(cell->textLabel()->text(), indexPath->description());
    }
    EXPECT_EQ(table_->contentSize().height, 4400);
}

TEST_F(TableViewTest, TitledSectionsGetPinnedPlainHeaders) {
    source_->titles = {"Animals", std::nullopt, "Plants"};
    show({10, 2, 30});
    EXPECT_EQ(table_->rectForHeaderInSection(0), Rect(0, 0, 375, 28));
    EXPECT_EQ(table_->rectForHeaderInSection(1), Rect(0, 468, 375, 0));
    EXPECT_EQ(table_->rectForHeaderInSection(2), Rect(0, 556, 375, 28));
    EXPECT_EQ(table_->rectForRowAtIndexPath({0, 0}), Rect(0, 28, 375, 44));
    EXPECT_EQ(table_->rectForRowAtIndexPath({2, 0}), Rect(0, 584, 375, 44));
    EXPECT_EQ(table_->rectForSection(0), Rect(0, 0, 375, 468));
    EXPECT_EQ(table_->contentSize().height, 28 + 440 + 88 + 28 + 1320);
    EXPECT_EQ(table_->indexPathForRowAtPoint({10, 10}), std::nullopt);  // a header

    const auto header =
        std::dynamic_pointer_cast<ui::TableViewHeaderFooterView>(table_->headerViewForSection(0));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->textLabel()->text(), "Animals");
    EXPECT_EQ(table_->headerViewForSection(1), nullptr);
    ASSERT_NE(table_->headerViewForSection(2), nullptr);

    // Scrolled into section 0, its header stays at the top, above the rows.
    scrollTo(200);
    EXPECT_EQ(header->frame(), Rect(0, 200, 375, 28));
    const auto& subviews = table_->subviews();
    const auto headerAt = std::find(subviews.begin(), subviews.end(), header);
    for (const auto& cell : table_->visibleCells()) {
        EXPECT_LT(std::find(subviews.begin(), subviews.end(), cell), headerAt);
    }
    // Near the end of section 0 the next content pushes it up.
    scrollTo(450);
    EXPECT_EQ(header->frame().minY(), 468 - 28);
    scrollTo(600);
    EXPECT_EQ(table_->headerViewForSection(0), nullptr);
    EXPECT_EQ(table_->headerViewForSection(2)->frame().minY(), 600);

    // A tap on a pinned header selects nothing.
    ui::TouchInjector(*window_).tap({100, 10});
    EXPECT_TRUE(source_->selected.empty());
}

TEST_F(TableViewTest, TableHeaderAndFooterViewsFrameTheSections) {
    table_->setTableHeaderView(std::make_shared<ui::View>(Rect(0, 0, 10, 120)));
    table_->setTableFooterView(std::make_shared<ui::View>(Rect(0, 0, 10, 50)));
    show({3});
    EXPECT_EQ(table_->tableHeaderView()->frame(), Rect(0, 0, 375, 120));
    EXPECT_EQ(table_->rectForRowAtIndexPath({0, 0}), Rect(0, 120, 375, 44));
    EXPECT_EQ(table_->tableFooterView()->frame(), Rect(0, 252, 375, 50));
    EXPECT_EQ(table_->contentSize().height, 302);
}

TEST_F(TableViewTest, SeparatorsFollowTheStyle) {
    show({2});
    const auto cell = table_->cellForRowAtIndexPath({0, 0});
    EXPECT_TRUE(cell->showsSeparator());
    table_->setSeparatorStyle(ui::TableViewSeparatorStyle::None);
    window_->layoutTree();
    EXPECT_FALSE(cell->showsSeparator());
}

TEST_F(TableViewTest, ReloadReadsNewCountsAndTheUpdatesReload) {
    show({3});
    source_->rows = {5};
    EXPECT_EQ(table_->numberOfRowsInSection(0), 3);
    table_->reloadData();
    EXPECT_TRUE(table_->visibleCells().empty());
    window_->layoutTree();
    EXPECT_EQ(table_->indexPathsForVisibleRows(), itemRange(0, 4));
    EXPECT_EQ(made_, 5);

    source_->rows = {1};
    table_->beginUpdates();
    table_->deleteRowsAtIndexPaths(itemRange(1, 4), ui::TableViewRowAnimation::Fade);
    table_->endUpdates();
    window_->layoutTree();
    EXPECT_EQ(table_->indexPathsForVisibleRows(), itemRange(0, 0));
    EXPECT_EQ(table_->contentSize().height, 44);
}

TEST_F(TableViewTest, TapSelectsTheRowAndADragDoesNot) {
    show({40});
    ui::TouchInjector touches(*window_);
    touches.tap({100, 100});
    EXPECT_EQ(source_->selected, (Paths{{0, 2}}));
    EXPECT_EQ(table_->indexPathForSelectedRow(), (IndexPath{0, 2}));
    EXPECT_TRUE(table_->cellForRowAtIndexPath({0, 2})->isSelected());

    touches.drag({100, 400}, {100, 200});
    clock_.advance(2);
    EXPECT_EQ(source_->selected.size(), 1u);

    scrollTo(440);
    touches.tap({100, 10});  // content y 450: row 10
    EXPECT_EQ(source_->selected, (Paths{{0, 2}, {0, 10}}));
    EXPECT_EQ(table_->indexPathsForSelectedRows(), (Paths{{0, 10}}));

    table_->deselectRowAtIndexPath({0, 10}, true);
    EXPECT_FALSE(table_->cellForRowAtIndexPath({0, 10})->isSelected());
    EXPECT_EQ(table_->indexPathForSelectedRow(), std::nullopt);
}

TEST_F(TableViewTest, AppTransformsOnCellsSurviveLayout) {
    show({20});
    const auto cell = table_->cellForRowAtIndexPath({0, 1});
    cell->setTransform(gfx::AffineTransform::scaling(1.1, 1.1));
    scrollTo(10);
    EXPECT_EQ(cell->bounds().size, (gfx::Size{375, 44}));
    EXPECT_EQ(cell->center(), (gfx::Point{187.5, 66}));
    EXPECT_EQ(cell->transform(), gfx::AffineTransform::scaling(1.1, 1.1));
}

TEST(TableViewGeometryTest, FindsRowsAcrossSectionsAndSkipsEmptyOnes) {
    ui::TableViewGeometry geometry(10);
    geometry.addSection(20, {30, 0, 30});
    geometry.addSection(0, {});
    geometry.addSection(5, {10, 10});
    geometry.setTableFooterHeight(7);
    EXPECT_EQ(geometry.contentHeight(), 10 + 20 + 60 + 5 + 20 + 7);
    EXPECT_EQ(geometry.footerTop(), 115);
    EXPECT_EQ(geometry.rowsBetween(0, 30), Paths{});
    EXPECT_EQ(geometry.rowsBetween(30, 60), (Paths{{0, 0}}));
    EXPECT_EQ(geometry.rowsBetween(60, 61), (Paths{{0, 2}}));
    EXPECT_EQ(geometry.rowsBetween(59, 105), (Paths{{0, 0}, {0, 2}, {2, 0}}));
    EXPECT_EQ(geometry.rowsBetween(0, 1000).size(), 4u);
    EXPECT_EQ(geometry.rowAt(60), (IndexPath{0, 2}));
    EXPECT_EQ(geometry.rowAt(92), std::nullopt);  // section 2's header
    EXPECT_EQ(geometry.rowAt(105), (IndexPath{2, 1}));
    EXPECT_EQ(geometry.rowAt(115), std::nullopt);
    EXPECT_EQ(geometry.rectForSection(1, 100), Rect(0, 90, 100, 0));
}

}  // namespace
