// The share sheet: what it offers, the outbox record it leaves once shown,
// its cancel, and its anchor on the pad idiom.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/FileManager.h"
#include "core/JSON.h"
#include "core/PendingWork.h"
#include "core/RunLoop.h"
#include "store/ActivityViewController.h"
#include "store/ShareOutbox.h"
#include "support/DecodedFile.h"
#include "support/ManualClockScope.h"
#include "ui/Button.h"
#include "ui/DeviceProfile.h"
#include "ui/PopoverArrowView.h"
#include "ui/PopoverPresentationController.h"
#include "ui/TouchInjector.h"
#include "ui/Window.h"

using store::ActivityViewController;
using store::ShareOutbox;
using testsupport::decodeFile;

namespace {

const std::vector<store::ActivityType> kExcluded{store::ActivityTypePrint,
                                                 store::ActivityTypeCopyToPasteboard,
                                                 store::ActivityTypeAddToReadingList,
                                                 store::ActivityTypePostToVimeo,
                                                 store::ActivityTypeOpenInIBooks,
                                                 store::ActivityTypeAssignToContact,
                                                 store::ActivityTypeSaveToCameraRoll};

class ActivityViewControllerTest : public testing::Test {
protected:
    void SetUp() override {
        (void)core::FileManager::removeItem(ShareOutbox::folderPath());
        window_->setRootViewController(root_);
        window_->makeKeyAndVisible();
    }
    void TearDown() override { (void)core::FileManager::removeItem(ShareOutbox::folderPath()); }

    static gfx::ImagePtr solid(int width, int height, std::uint32_t rgb) {
        return gfx::Image::create(width, height,
                                  gfx::Image::Pixels(size_t(width) * size_t(height),
                                                     gfx::Color::fromRGB(rgb).premultipliedARGB()));
    }
    static core::Value readJSON(const std::string& path) {
        const auto text = core::FileManager::readFile(path);
        return text ? core::JSON::parse(text.value()).value_or(core::Value()) : core::Value();
    }
    // The records are written on the sheet's queue: real I/O.
    static bool waitForRecords(size_t count) {
        return core::RunLoop::main().runUntil(
            [count] { return ShareOutbox::recordPaths().size() >= count; }, 10);
    }
    void present(const std::shared_ptr<ActivityViewController>& sheet) {
        root_->presentViewController(sheet, true);
        clock_.advance(0.5);
    }

    testsupport::ManualClockScope clock_;
    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(gfx::Rect(0, 0, 375, 667));
    std::shared_ptr<ui::ViewController> root_ = std::make_shared<ui::ViewController>();
};

TEST_F(ActivityViewControllerTest, OffersTheKnownTypesThatAreNotExcludedInOrder) {
    const auto sheet = ActivityViewController::create({solid(2, 2, 0)});
    EXPECT_EQ(sheet->availableActivityTypes(), store::allActivityTypes());
    sheet->setExcludedActivityTypes(kExcluded);
    EXPECT_EQ(sheet->excludedActivityTypes(), kExcluded);
    EXPECT_EQ(
        sheet->availableActivityTypes(),
        (std::vector<store::ActivityType>{store::ActivityTypeMessage, store::ActivityTypeMail}));
    EXPECT_EQ(sheet->modalPresentationStyle(), ui::ModalPresentationStyle::OverFullScreen);
}

TEST_F(ActivityViewControllerTest, ShowingItWritesTheImageAndARecordOnceAndCancelDismisses) {
    const auto sheet =
        ActivityViewController::create({solid(120, 80, 0x2040F0), std::string("hello")});
    sheet->setExcludedActivityTypes(kExcluded);
    (void)sheet->view();
    EXPECT_TRUE(ShareOutbox::recordPaths().empty()) << "loading alone writes nothing";

    present(sheet);
    ASSERT_EQ(root_->presentedViewController(), sheet);
    ASSERT_TRUE(waitForRecords(1));
    const std::string folder = ShareOutbox::folderPath();
    EXPECT_EQ(folder, core::FileManager::homeDirectory() + "/outbox");
    ASSERT_EQ(ShareOutbox::recordPaths(), std::vector<std::string>{folder + "/share-0001.json"});

    const core::Value record = readJSON(folder + "/share-0001.json");
    core::Array excluded;
    for (const auto& type : kExcluded) excluded.emplace_back(type);
    EXPECT_EQ(record["excludedActivityTypes"], core::Value(excluded));
    EXPECT_DOUBLE_EQ(record["time"].doubleValue(), core::ManualClock::kStartWall + 0.5 - 0.2)
        << "the time it appeared: after its 0.3 s presentation";
    const core::Value& items = record["items"];
    ASSERT_TRUE(items.array());
    ASSERT_EQ(items.array()->size(), 2u);
    EXPECT_EQ(items[0]["type"].stringValue(), "image");
    EXPECT_EQ(items[0]["width"].intValue(), 120);
    EXPECT_EQ(items[0]["height"].intValue(), 80);
    EXPECT_EQ(items[1]["type"].stringValue(), "text");
    EXPECT_EQ(items[1]["text"].stringValue(), "hello");
    const auto image = decodeFile(folder + "/" + items[0]["file"].stringValue());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelSize(), (gfx::Size{120, 80}));
    EXPECT_EQ(image->pixelAt(60, 40), gfx::Color::fromRGB(0x2040F0)) << "PNG keeps the pixels";

    // The sheet sits above the screen's bottom with its cancel button last.
    window_->layoutTree();
    const gfx::Rect cancel = sheet->cancelButton()->frame();
    EXPECT_DOUBLE_EQ(cancel.maxY(), 667 - 8);
    EXPECT_LT(sheet->panel()->frame().maxY(), cancel.minY());
    EXPECT_EQ(sheet->cancelButton()->currentTitle(), "Cancel");

    ui::TouchInjector(*window_).tap(cancel.center());
    clock_.advance(0.5);
    EXPECT_EQ(root_->presentedViewController(), nullptr);
    ASSERT_TRUE(core::RunLoop::main().runUntil([] { return !core::PendingWork::any(); }, 10));
    EXPECT_EQ(ShareOutbox::recordPaths().size(), 1u) << "cancelling writes nothing more";
}

TEST_F(ActivityViewControllerTest, EachShareGetsTheNextNumberWithoutReplacingLeftovers) {
    const std::string folder = ShareOutbox::folderPath();
    ASSERT_TRUE(core::FileManager::createDirectory(folder, true));
    // The image of a share whose record never got written.
    ASSERT_TRUE(core::FileManager::writeAtomically(folder + "/share-0003-1.png", std::string("x")));

    const auto first = ShareOutbox::write({solid(3, 3, 0)}, {}, 10);
    ASSERT_TRUE(first);
    EXPECT_EQ(first.value(), folder + "/share-0004.json");
    const auto second = ShareOutbox::write({std::string("only text")}, kExcluded, 11);
    ASSERT_TRUE(second);
    EXPECT_EQ(second.value(), folder + "/share-0005.json");
    EXPECT_EQ(core::FileManager::readFile(folder + "/share-0003-1.png").value(), "x");
    EXPECT_EQ(readJSON(second.value())["items"][0]["text"].stringValue(), "only text");
    EXPECT_EQ(readJSON(first.value())["items"][0]["file"].stringValue(), "share-0004-1.png");
}

TEST_F(ActivityViewControllerTest, AnOutboxThatCannotBeMadeIsAFailure) {
    ASSERT_TRUE(core::FileManager::writeAtomically(ShareOutbox::folderPath(), std::string("x")));
    const auto record = ShareOutbox::write({solid(3, 3, 0)}, {}, 10);
    EXPECT_FALSE(record);
    EXPECT_FALSE(record.error().empty());
}

TEST_F(ActivityViewControllerTest, ThePadIdiomCarriesAnAnchorAtTheSender) {
    const auto phoneSheet = ActivityViewController::create({});
    EXPECT_EQ(phoneSheet->popoverPresentationController(), nullptr);

    ui::DeviceProfile pad = ui::DeviceProfile::current();
    pad.idiom = ui::UserInterfaceIdiom::Pad;
    ui::DeviceProfile::overrideForTesting(pad);
    const auto sheet = ActivityViewController::create({});
    const auto popover = sheet->popoverPresentationController();
    const auto again = sheet->popoverPresentationController();
    (void)ui::DeviceProfile::select("phone");
    ASSERT_TRUE(popover);
    EXPECT_EQ(again, popover) << "kept once made";

    auto sender = std::make_shared<ui::View>(gfx::Rect(300, 600, 60, 50));
    root_->view()->addSubview(sender);
    popover->setSourceView(sender);
    popover->setSourceRect(sender->bounds());
    EXPECT_EQ(popover->anchorInWindow(), gfx::Rect(300, 600, 60, 50));
    sender->removeFromSuperview();
    EXPECT_EQ(popover->anchorInWindow(), std::nullopt);
}

// On the pad the sheet is a popover: the panel over Cancel, next to the
// button it was opened from, its arrow pointing at it; the screen is not
// dimmed. Without an anchor in the window it is a sheet at the bottom.
TEST_F(ActivityViewControllerTest, OnThePadTheSheetIsAPopoverAtItsButton) {
    ui::DeviceProfile pad = ui::DeviceProfile::current();
    pad.idiom = ui::UserInterfaceIdiom::Pad;
    ui::DeviceProfile::overrideForTesting(pad);
    const auto sheet = ActivityViewController::create({solid(4, 3, 0x336699)});
    const auto unanchored = ActivityViewController::create({solid(4, 3, 0x336699)});
    const auto popover = sheet->popoverPresentationController();
    (void)ui::DeviceProfile::select("phone");
    ASSERT_TRUE(popover);
    const auto button = std::make_shared<ui::View>(gfx::Rect(250, 600, 50, 44));
    root_->view()->addSubview(button);
    popover->setSourceView(button);
    popover->setSourceRect(button->bounds());
    present(sheet);
    window_->layoutTree();

    const auto arrow = sheet->arrow();
    ASSERT_TRUE(arrow);
    EXPECT_EQ(arrow->direction(), ui::PopoverArrowDirection::Down);
    EXPECT_EQ(arrow->frame().maxY(), 600) << "its point on the button's top edge";
    EXPECT_EQ(arrow->frame().midX(), 275);
    const gfx::Rect cancel = sheet->cancelButton()->frame();
    EXPECT_EQ(cancel.maxY(), 600 - ui::PopoverPresentationController::kArrowLength);
    EXPECT_EQ(cancel.width(), ActivityViewController::kPopoverWidth);
    EXPECT_EQ(sheet->panel()->frame().minX(), cancel.minX());
    EXPECT_LT(sheet->panel()->frame().maxY(), cancel.minY());
    EXPECT_EQ(sheet->view()->backgroundColor(), gfx::Color::clear());
    ui::TouchInjector(*window_).tap(cancel.center());
    clock_.advance(0.5);
    EXPECT_EQ(root_->presentedViewController(), nullptr);

    present(unanchored);
    window_->layoutTree();
    EXPECT_EQ(unanchored->arrow(), nullptr);
    EXPECT_EQ(unanchored->cancelButton()->frame().maxY(), 667 - ActivityViewController::kMargin);
    EXPECT_NE(unanchored->view()->backgroundColor(), gfx::Color::clear());
    EXPECT_TRUE(waitForRecords(2)) << "both sheets wrote their records";
}

}  // namespace
