#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "DeviceProfileScope.h"
#include "RecordingController.h"
#include "core/Console.h"
#include "core/Queue.h"
#include "gfx/GeometryPrinting.h"
#include "support/ManualClockScope.h"
#include "ui/AlertActionRow.h"
#include "ui/AlertBoxView.h"
#include "ui/AlertController.h"
#include "ui/AlertView.h"
#include "ui/Renderer.h"

using testsupport::EventLog;
using testsupport::recording;
using testsupport::VisibleWindow;
using ui::AlertAction;
using ui::AlertActionStyle;
using ui::AlertController;
using ui::AlertControllerStyle;
using Events = std::vector<std::string>;

namespace {

// R, with a white view, is the root of a visible window on a manual clock.
class AlertControllerTest : public testing::Test {
protected:
    testsupport::ManualClockScope clock;
    std::shared_ptr<EventLog> log = std::make_shared<EventLog>();
    std::shared_ptr<testsupport::RecordingController> root = recording("R", log);
    VisibleWindow window{root};
    Events handled;

    void SetUp() override {
        root->view()->setBackgroundColor(gfx::Color::white());
        log->take();
    }

    AlertAction action(std::string title, AlertActionStyle style = AlertActionStyle::Default) {
        return {title, style, [this, title](const AlertAction& chosen) {
                    EXPECT_EQ(chosen.title, title);
                    handled.push_back(title);
                }};
    }
    [[nodiscard]] size_t alertViewsInWindow() const {
        const auto& subviews = window->subviews();
        return std::count_if(subviews.begin(), subviews.end(), [](const auto& view) {
            return std::dynamic_pointer_cast<ui::AlertView>(view) != nullptr;
        });
    }
    void tap(const ui::View& view) {
        const gfx::Point point = view.convertPointTo(view.bounds().center(), nullptr);
        const auto touch = window->touchDown(point);
        window->touchUp(touch, point);
    }
    static std::vector<std::string> rowTitles(const std::shared_ptr<AlertController>& alert) {
        std::vector<std::string> titles;
        for (const auto& row : alert->alertView()->box()->rows()) titles.push_back(row->title());
        return titles;
    }
};

TEST_F(AlertControllerTest, KeepsItsContentAndPresentsOverTheScreen) {
    const auto alert = AlertController::create("Saved", "To your album");
    alert->addAction(action("OK"));
    EXPECT_EQ(alert->title(), "Saved");
    EXPECT_EQ(alert->message(), "To your album");
    EXPECT_EQ(alert->preferredStyle(), AlertControllerStyle::Alert);
    EXPECT_EQ(alert->modalPresentationStyle(), ui::ModalPresentationStyle::OverFullScreen);
    ASSERT_EQ(alert->actions().size(), 1u);
    EXPECT_EQ(alert->actions()[0].title, "OK");

    root->presentViewController(alert, false);
    EXPECT_EQ(log->take(), Events{}) << "the presenter gets no appearance callbacks";
    EXPECT_EQ(alertViewsInWindow(), 1u);
    const auto view = alert->alertView();
    EXPECT_EQ(view->frame(), window->bounds());
    EXPECT_EQ(view->backgroundColor(), gfx::Color::black().withAlpha(0.4));
}

TEST_F(AlertControllerTest, AlertBoxIsCentredWithCancelLast) {
    const auto alert = AlertController::create("Delete photo?", "It cannot be undone.");
    alert->addAction(action("Cancel", AlertActionStyle::Cancel));
    alert->addAction(action("Delete", AlertActionStyle::Destructive));
    alert->addAction(action("Archive"));
    root->presentViewController(alert, false);
    window->layoutTree();

    const auto box = alert->alertView()->box();
    const gfx::Rect frame = box->frame();
    EXPECT_DOUBLE_EQ(frame.width(), 270);
    EXPECT_NEAR(frame.midX(), window->bounds().midX(), 0.5);
    EXPECT_NEAR(frame.midY(), window->bounds().midY(), 0.5);
    EXPECT_EQ(rowTitles(alert), (std::vector<std::string>{"Delete", "Archive", "Cancel"}));

    const auto& rows = box->rows();
    const double headerHeight = rows[0]->frame().minY();
    EXPECT_GT(headerHeight, 40) << "title and message sit above the rows";
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i]->frame(), gfx::Rect(0, headerHeight + 44.0 * i, 270, 44));
    }
    EXPECT_DOUBLE_EQ(frame.height(), headerHeight + 3 * 44);
}

TEST_F(AlertControllerTest, TwoActionsSitSideBySideCancelLeft) {
    const auto alert = AlertController::create("Rate us?");
    alert->addAction(action("Yes"));
    alert->addAction(action("Later", AlertActionStyle::Cancel));
    root->presentViewController(alert, false);
    window->layoutTree();
    EXPECT_EQ(rowTitles(alert), (std::vector<std::string>{"Later", "Yes"}));
    const auto& rows = alert->alertView()->box()->rows();
    EXPECT_DOUBLE_EQ(rows[0]->frame().width(), 135);
    EXPECT_DOUBLE_EQ(rows[1]->frame().minX(), 135);
    EXPECT_DOUBLE_EQ(rows[0]->frame().minY(), rows[1]->frame().minY());
}

TEST_F(AlertControllerTest, ActionSheetSitsAboveTheBottomSafeArea) {
    const testsupport::DeviceProfileScope device("phone-x");
    ASSERT_TRUE(device.selected());
    const VisibleWindow tall{recording("T", log)};
    const auto sheet = AlertController::create("", "", AlertControllerStyle::ActionSheet);
    sheet->addAction(action("Share"));
    sheet->addAction(action("Cancel", AlertActionStyle::Cancel));
    tall->rootViewController()->presentViewController(sheet, false);
    tall->layoutTree();

    const gfx::Rect screen = tall->bounds();
    const gfx::Rect box = sheet->alertView()->box()->frame();
    EXPECT_DOUBLE_EQ(box.width(), screen.width() - 16);
    EXPECT_DOUBLE_EQ(box.minX(), 8);
    EXPECT_DOUBLE_EQ(box.maxY(), screen.maxY() - 34 - 8);
    EXPECT_DOUBLE_EQ(box.height(), 2 * 57) << "no header without title and message";
}

TEST_F(AlertControllerTest, TappingARowDismissesThenCallsItsHandlerOnce) {
    const auto alert = AlertController::create("Download?");
    alert->addAction(action("Cancel", AlertActionStyle::Cancel));
    alert->addAction(action("Download"));
    root->presentViewController(alert, true);
    clock.advance(0.3);
    window->layoutTree();

    const auto rows = alert->alertView()->box()->rows();
    tap(*rows[1]);
    EXPECT_TRUE(handled.empty()) << "the handler waits for the dismissal";
    EXPECT_EQ(root->presentedViewController(), alert);
    tap(*rows[0]);
    clock.advance(0.3);
    EXPECT_EQ(handled, (Events{"Download"}));
    EXPECT_EQ(alertViewsInWindow(), 0u);
    EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST_F(AlertControllerTest, SelectingWithoutPresentationRunsTheHandlerAtOnce) {
    const auto alert = AlertController::create("Loose");
    alert->addAction(action("Go"));
    alert->selectAction(7);
    alert->selectAction(0);
    alert->selectAction(0);
    EXPECT_EQ(handled, (Events{"Go"})) << "only the first selection counts";
}

TEST_F(AlertControllerTest, ToastIsASmallBoxGoneAfterItsDelayedDismissal) {
    const auto toast = AlertController::create("Saved");
    root->presentViewController(toast, true);
    core::Queue::main()->after(1.5, [toast] { toast->dismissViewController(true); });
    clock.advance(0.3);

    const auto box = toast->alertView()->box();
    const auto image = ui::Renderer::render(*window, 1);
    ASSERT_TRUE(image);
    const gfx::Rect frame = box->frame();
    EXPECT_LT(frame.width(), 150) << "fits its title";
    EXPECT_GT(frame.width(), 40);
    EXPECT_GT(frame.height(), 20);
    EXPECT_LT(frame.height(), 80);
    EXPECT_NEAR(frame.midX(), window->bounds().midX(), 0.5);
    const gfx::Color inside = image->pixelAt(int(frame.minX() + 4), int(frame.midY()));
    const gfx::Color outside = image->pixelAt(int(frame.minX() - 4), int(frame.midY()));
    const gfx::Color corner = image->pixelAt(int(frame.minX()), int(frame.minY()));
    EXPECT_GT(inside.red, 0.9) << "the box is light";
    EXPECT_NEAR(outside.red, 0.6, 0.02) << "the screen is dimmed";
    EXPECT_LT(corner.red, 0.8) << "the corners are rounded";

    clock.advance(1.2);
    EXPECT_EQ(alertViewsInWindow(), 1u);
    clock.advance(0.3);
    EXPECT_EQ(alertViewsInWindow(), 0u);
    EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST_F(AlertControllerTest, RefusedToastLeavesNoAlertAndItsDismissalDoesNothing) {
    const auto question = AlertController::create("Leave?");
    question->addAction(action("Stay"));
    root->presentViewController(question, false);

    const auto toast = AlertController::create("Copied");
    {
        const core::Console::Capture console;
        root->presentViewController(toast, true);
        EXPECT_TRUE(console.contains("which is already presenting"));
    }
    core::Queue::main()->after(1.5, [toast] { toast->dismissViewController(true); });
    clock.advance(2);
    EXPECT_EQ(alertViewsInWindow(), 1u);
    EXPECT_EQ(root->presentedViewController(), question);
    EXPECT_FALSE(toast->isViewLoaded());
}

TEST_F(AlertControllerTest, ContentChangesAfterLoadingAreShown) {
    const auto alert = AlertController::create("Old");
    root->presentViewController(alert, false);
    alert->setTitle("New");
    alert->addAction(action("OK"));
    EXPECT_EQ(rowTitles(alert), (std::vector<std::string>{"OK"}));
    window->layoutTree();
    EXPECT_DOUBLE_EQ(alert->alertView()->box()->frame().width(), 270)
        << "an alert with actions is no toast";
}

}  // namespace
