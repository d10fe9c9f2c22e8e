// The share sheet in the desktop window: it offers what the desktop can do
// (Mail, not Message), and a tap on Mail hands the image to the desktop's
// mail client (a fake xdg-email on PATH) as a PNG file; headless sheets keep
// offering both and hand nothing over.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FakeMailClient.h"
#include "StoreTesting.h"
#include "core/FileManager.h"
#include "core/RunLoop.h"
#include "store/ActivityViewController.h"
#include "store/DesktopMailClient.h"
#include "support/DecodedFile.h"
#include "support/ManualClockScope.h"
#include "ui/Control.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

using store::ActivityViewController;

namespace {

namespace fs = std::filesystem;

struct Ending {
    store::ActivityType type;
    bool completed = false;
    std::optional<std::string> error;
};

class ShareSheetDesktopTest : public testing::Test {
protected:
    void SetUp() override {
        ActivityViewController::setPerformsOnDesktop(true);
        window_->setRootViewController(root_);
        window_->makeKeyAndVisible();
    }
    void TearDown() override { ActivityViewController::setPerformsOnDesktop(false); }

    static gfx::ImagePtr solid(int width, int height, std::uint32_t rgb) {
        return gfx::Image::create(width, height,
                                  gfx::Image::Pixels(size_t(width) * size_t(height),
                                                     gfx::Color::fromRGB(rgb).premultipliedARGB()));
    }
    // A sheet offering Message and Mail, as the photo viewer's does, shown.
    std::shared_ptr<ActivityViewController> presentSheet(std::vector<store::ActivityItem> items) {
        auto sheet = ActivityViewController::create(std::move(items));
        sheet->setExcludedActivityTypes(
            {store::ActivityTypePrint, store::ActivityTypeCopyToPasteboard,
             store::ActivityTypeAddToReadingList, store::ActivityTypePostToVimeo,
             store::ActivityTypeOpenInIBooks, store::ActivityTypeAssignToContact,
             store::ActivityTypeSaveToCameraRoll});
        sheet->setCompletionHandler([this](const store::ActivityType& type, bool completed,
                                           const std::optional<std::string>& error) {
            endings_.push_back({type, completed, error});
        });
        root_->presentViewController(sheet, true);
        clock_.advance(0.5);
        return sheet;
    }
    void tapActivity(const ActivityViewController& sheet, size_t index) {
        window_->layoutTree();
        const auto& view = sheet.activityViews().at(index);
        touches_.tap(view->convertRectTo(view->bounds(), nullptr).center());
    }
    static bool waitFor(const std::function<bool()>& predicate) {
        return core::RunLoop::main().runUntil(predicate, storetest::kLimit);
    }

    storetest::FakeMailClient client_{"share-desktop"};
    testsupport::ManualClockScope clock_;
    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(gfx::Rect(0, 0, 375, 667));
    std::shared_ptr<ui::ViewController> root_ = std::make_shared<ui::ViewController>();
    ui::TouchInjector touches_{*window_};
    std::vector<Ending> endings_;
};

TEST_F(ShareSheetDesktopTest, MailHandsTheImageToTheMailClientAndTheSheetGoes) {
    client_.install({.reads = true});
    const auto sheet = presentSheet({solid(40, 30, 0x3366CC), std::string("From Vantor")});
    // A desktop sends no text messages: only Mail is offered.
    EXPECT_EQ(sheet->availableActivityTypes(),
              std::vector<store::ActivityType>{store::ActivityTypeMail});
    ASSERT_EQ(sheet->activityViews().size(), 1u);

    tapActivity(*sheet, 0);
    ASSERT_TRUE(waitFor([&] { return !endings_.empty(); }));
    ASSERT_EQ(endings_.size(), 1u);
    EXPECT_EQ(endings_[0].type, store::ActivityTypeMail);
    EXPECT_TRUE(endings_[0].completed);
    EXPECT_FALSE(endings_[0].error);
    const auto given = client_.arguments();
    ASSERT_EQ(given.size(), 5u);
    EXPECT_EQ(given[0], "--utf8");
    EXPECT_EQ(given[1], "--body");
    EXPECT_EQ(given[2], "From Vantor");
    EXPECT_EQ(given[3], "--attach");
    EXPECT_EQ(fs::path(given[4]).extension(), ".png");
    const auto image = testsupport::decodeFile(client_.copy(1).string());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 40);
    EXPECT_EQ(image->pixelHeight(), 30);
    // The client read the file: its folder goes.
    EXPECT_TRUE(waitFor([&] { return !fs::exists(fs::path(given[4]).parent_path()); }));

    clock_.advance(0.5);
    EXPECT_EQ(root_->presentedViewController(), nullptr) << "done, the sheet goes";
    EXPECT_EQ(client_.runs(), 1u);
}

TEST_F(ShareSheetDesktopTest, OneHandOverAtATimeAndARefusalKeepsTheSheetForAnotherTry) {
    client_.install({.status = 4, .held = true});
    const auto sheet = presentSheet({solid(8, 8, 0xFF0000)});
    tapActivity(*sheet, 0);
    ASSERT_TRUE(waitFor([&] { return client_.runs() == 1; }));
    EXPECT_TRUE(sheet->isPerformingActivity());
    // Taps while the client takes the mail start nothing more.
    tapActivity(*sheet, 0);
    sheet->performActivity(store::ActivityTypeMail);
    client_.release();
    ASSERT_TRUE(waitFor([&] { return !endings_.empty(); }));
    ASSERT_EQ(endings_.size(), 1u);
    EXPECT_FALSE(endings_[0].completed);
    ASSERT_TRUE(endings_[0].error);
    EXPECT_NE(endings_[0].error->find("exit status 4"), std::string::npos) << *endings_[0].error;
    EXPECT_EQ(client_.runs(), 1u);
    clock_.advance(0.5);
    EXPECT_EQ(root_->presentedViewController(), sheet) << "the sheet stays after a failure";

    // Another tap tries again.
    client_.install({.reads = true});
    tapActivity(*sheet, 0);
    ASSERT_TRUE(waitFor([&] { return endings_.size() == 2; }));
    EXPECT_TRUE(endings_[1].completed);
    EXPECT_EQ(client_.runs(), 2u);
}

TEST_F(ShareSheetDesktopTest, HeadlessSheetsOfferMessageAndMailAndHandNothingOver) {
    ActivityViewController::setPerformsOnDesktop(false);
    client_.install({.reads = true});
    const auto sheet = presentSheet({solid(8, 8, 0x00FF00)});
    EXPECT_EQ(
        sheet->availableActivityTypes(),
        (std::vector<store::ActivityType>{store::ActivityTypeMessage, store::ActivityTypeMail}));
    ASSERT_EQ(sheet->activityViews().size(), 2u);
    tapActivity(*sheet, 0);
    tapActivity(*sheet, 1);
    (void)core::RunLoop::main().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(client_.runs(), 0u);
    EXPECT_TRUE(endings_.empty());
    EXPECT_FALSE(sheet->isPerformingActivity());
    EXPECT_EQ(root_->presentedViewController(), sheet);

    // Nor does the window do what it does not offer.
    ActivityViewController::setPerformsOnDesktop(true);
    sheet->performActivity(store::ActivityTypeMessage);
    EXPECT_FALSE(sheet->isPerformingActivity());
    (void)core::RunLoop::main().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(client_.runs(), 0u);
}

}  // namespace
