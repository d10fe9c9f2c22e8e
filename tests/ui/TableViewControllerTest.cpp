#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "RecordingController.h"
#include "ui/Label.h"
#include "ui/TableViewController.h"
#include "ui/TableViewHeaderFooterView.h"

using testsupport::VisibleWindow;

namespace {

class Letters : public ui::TableViewController {
public:
    int numberOfSections(ui::TableView&) override { return 2; }
    int numberOfRowsInSection(ui::TableView&, int section) override { return section + 1; }
    std::optional<std::string> titleForHeaderInSection(ui::TableView&, int section) override {
        return std::string(1, char('A' + section));
    }
    std::shared_ptr<ui::TableViewCell>
    cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath) override {
        auto cell = std::make_shared<ui::TableViewCell>();
        cell->textLabel()->setText(std::to_string(indexPath.section) + "." +
                                   std::to_string(indexPath.row()));
        return cell;
    }
    void scrollViewDidScroll(ui::ScrollView& scrollView) override {
        lastOffset = scrollView.contentOffset().y;
    }
    double lastOffset = 0;
};

TEST(TableViewControllerTest, TheTableIsTheRootViewAndAsksTheController) {
    const auto controller = std::make_shared<Letters>();
    const VisibleWindow window(controller);
    window->layoutTree();
    const auto table = controller->tableView();
    ASSERT_TRUE(table);
    EXPECT_EQ(controller->view(), table);
    EXPECT_EQ(table->frame(), window->bounds());
    EXPECT_EQ(table->dataSource().get(), static_cast<ui::TableViewDataSource*>(controller.get()));
    EXPECT_EQ(table->delegate().get(), static_cast<ui::TableViewDelegate*>(controller.get()));

    EXPECT_EQ(table->visibleCells().size(), 3u);
    const auto cell = table->cellForRowAtIndexPath(ui::IndexPath::forRow(1, 1));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->textLabel()->text(), "1.1");
    const auto header =
        std::dynamic_pointer_cast<ui::TableViewHeaderFooterView>(table->headerViewForSection(1));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->textLabel()->text(), "B");

    table->setContentOffset({0, 12});
    EXPECT_DOUBLE_EQ(controller->lastOffset, 12);
}

TEST(TableViewControllerTest, WithoutOverridesTheTableIsEmptyAndTheControllerIsFreed) {
    auto controller = std::make_shared<ui::TableViewController>();
    const std::weak_ptr<ui::TableView> table = controller->tableView();
    table.lock()->layoutIfNeeded();
    EXPECT_EQ(table.lock()->numberOfSections(), 1);
    EXPECT_EQ(table.lock()->numberOfRowsInSection(0), 0);
    const std::weak_ptr<ui::TableViewController> weak = controller;
    controller.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(table.expired());
}

}  // namespace
