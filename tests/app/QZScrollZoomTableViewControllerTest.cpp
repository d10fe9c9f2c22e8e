#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/QZKit/QZSZDemoViewController.h"
#include "app/QZKit/QZScrollZoomTableViewController.h"
#include "app/QZKit/WaterButton.h"
#include "support/ManualClockScope.h"
#include "ui/Application.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/TableViewHeaderFooterView.h"
#include "ui/Window.h"

using app::QZSZDemoViewController;
using gfx::Rect;

namespace {

// The demo screen as the root of a visible window, with a 200-point header
// image at the top of its table.
class ScrollZoomTableTest : public testing::Test {
protected:
    void SetUp() override {
        window->setRootViewController(demo);
        window->makeKeyAndVisible();
        table = demo->tableView();
        table->addSubview(header);
        demo->setZoomImgView(header);
        window->layoutTree();
    }
    ~ScrollZoomTableTest() override { ui::Application::shared().resetForTesting(); }

    void pullTo(double offset) {
        table->setContentOffset({0, offset});
        window->layoutTree();
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<QZSZDemoViewController> demo = std::make_shared<QZSZDemoViewController>();
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>();
    std::shared_ptr<ui::ImageView> header = std::make_shared<ui::ImageView>(Rect(10, 0, 300, 200));
    std::shared_ptr<ui::TableView> table;
};

TEST_F(ScrollZoomTableTest, TheDemoShowsTwoTitledSectionsOfThreeTallRows) {
    ASSERT_EQ(table->numberOfSections(), 2);
    std::vector<std::string> texts;
    for (int section = 0; section < 2; ++section) {
        ASSERT_EQ(table->numberOfRowsInSection(section), 3);
        const auto title = std::dynamic_pointer_cast<ui::TableViewHeaderFooterView>(
            table->headerViewForSection(section));
        ASSERT_TRUE(title);
        texts.push_back(title->textLabel()->text());
        for (int row = 0; row < 3; ++row) {
            const auto indexPath = ui::IndexPath::forRow(row, section);
            EXPECT_DOUBLE_EQ(table->rectForRowAtIndexPath(indexPath).height(), 100);
            const auto cell = table->cellForRowAtIndexPath(indexPath);
            ASSERT_TRUE(cell);
            EXPECT_EQ(cell->reuseIdentifier(), "cell");
            texts.push_back(cell->textLabel()->text());
        }
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"section - 0", "cell - 0", "cell - 1", "cell - 2",
                                               "section - 1", "cell - 0", "cell - 1", "cell - 2"}));
    // Each row gets a cell of its own.
    EXPECT_NE(table->cellForRowAtIndexPath(ui::IndexPath::forRow(0, 0)),
              table->cellForRowAtIndexPath(ui::IndexPath::forRow(0, 1)));
}

TEST_F(ScrollZoomTableTest, TheHeaderStretchesOnlyBeyondTwoHundredPoints) {
    pullTo(-150);
    EXPECT_EQ(header->frame(), Rect(10, 0, 300, 200));
    pullTo(-200);
    EXPECT_EQ(header->frame(), Rect(10, 0, 300, 200)) << "exactly -200 is not beyond";
    pullTo(-250);
    EXPECT_EQ(header->frame(), Rect(10, -250, 300, 250));
    pullTo(-320);
    EXPECT_EQ(header->frame(), Rect(10, -320, 300, 320));
    // Easing the pull leaves the last stretched frame.
    pullTo(-100);
    EXPECT_EQ(header->frame(), Rect(10, -320, 300, 320));
    pullTo(0);
    EXPECT_EQ(header->frame(), Rect(10, -320, 300, 320));
}

TEST(WaterButtonTest, TheImageViewFollowsTheButtonsSizeAtTheNextLayout) {
    const auto button = app::WaterButton::create(Rect(20, 30, 80, 40));
    const auto imageView = button->wImageView();
    ASSERT_TRUE(imageView);
    EXPECT_EQ(imageView->superview(), button);
    EXPECT_EQ(imageView->frame(), Rect(0, 0, 80, 40));
    EXPECT_EQ(button->wImage(), nullptr);

    button->setFrame(Rect(20, 30, 120, 90));
    EXPECT_EQ(imageView->frame(), Rect(0, 0, 80, 40)) << "not before the layout";
    button->layoutIfNeeded();
    EXPECT_EQ(imageView->frame(), Rect(0, 0, 120, 90));
}

}  // namespace
