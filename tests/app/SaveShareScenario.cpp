// Save and share in the viewer inside the launched app: the size sheet, the
// album files and their toasts, the composed share image in the outbox and,
// in the desktop window, at the mail client, the quote carried in both, and
// what the app keeps being the user's alone.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>

#include "ViewerScenario.h"
#include "app/vc/PhotoViewController.h"
#include "core/FileManager.h"
#include "core/JSON.h"
#include "fixtures/PhotoDocument.h"
#include "store/ActivityViewController.h"
#include "store/FakeMailClient.h"
#include "store/PhotoAlbum.h"
#include "store/ShareOutbox.h"
#include "ui/AlertActionRow.h"
#include "ui/AlertBoxView.h"
#include "ui/AlertController.h"
#include "ui/AlertView.h"
#include "ui/DeviceProfile.h"
#include "ui/ImageAsset.h"
#include "ui/NavigationController.h"

namespace {

using app::PhotoViewController;
using fixtures::PhotoDocument;
using testsupport::decodeFile;

const gfx::Size kScreen{375, 667};

double difference(const gfx::Color& a, const gfx::Color& b) {
    return std::max(
        {std::abs(a.red - b.red), std::abs(a.green - b.green), std::abs(a.blue - b.blue)});
}

// The box around the pixels where two images of one size differ by more
// than `threshold`; empty when they do not.
gfx::Rect differingBox(const gfx::Image& a, const gfx::Image& b, double threshold) {
    int minX = a.pixelWidth(), minY = a.pixelHeight(), maxX = -1, maxY = -1;
    for (int y = 0; y < a.pixelHeight(); y += 2) {
        for (int x = 0; x < a.pixelWidth(); x += 2) {
            if (difference(a.pixelAt(x, y), b.pixelAt(x, y)) <= threshold) continue;
            minX = std::min(minX, x);
            minY = std::min(minY, y);
            maxX = std::max(maxX, x);
            maxY = std::max(maxY, y);
        }
    }
    if (maxX < 0) return {};
    return {double(minX), double(minY), double(maxX - minX + 1), double(maxY - minY + 1)};
}

class SaveShareScenario : public testsupport::ViewerScenario {
protected:
    void SetUp() override { app.launch(); }
    void TearDown() override {
        store::PhotoAlbum::shared().setRefusalForTesting(std::nullopt);
        store::ActivityViewController::setPerformsOnDesktop(false);
    }

    static size_t albumCount() { return store::PhotoAlbum::imagePaths().size(); }
};

TEST_F(SaveShareScenario, TheSaveSheetOffersTwoSizesAndItsCancelWritesNothing) {
    const auto viewer = openDownloaded(37);
    ASSERT_TRUE(viewer->fullImage());
    const size_t before = albumCount();
    tap(*viewer->bbarSaveButton());
    app.settle(0.5);

    const auto sheet = presentedAlert();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->preferredStyle(), ui::AlertControllerStyle::ActionSheet);
    EXPECT_EQ(sheet->title(), "提示");
    EXPECT_EQ(sheet->message(), "请选择要保存的尺寸");
    std::vector<std::string> titles;
    for (const auto& row : sheet->alertView()->box()->rows()) titles.push_back(row->title());
    EXPECT_EQ(titles, (std::vector<std::string>{"屏幕所见区域", "原图", "取消"}));
    ASSERT_FALSE(sheet->actions().empty());
    EXPECT_EQ(sheet->actions().back().style, ui::AlertActionStyle::Cancel);
    // A sheet at the bottom of the screen; no anchor on a phone.
    const gfx::Rect box = sheet->alertView()->box()->frame();
    EXPECT_DOUBLE_EQ(box.maxY(), 667 - 8);
    EXPECT_EQ(sheet->popoverPresentationController(), nullptr);

    ASSERT_FALSE(sheet->alertView()->box()->rows().empty());
    tap(*sheet->alertView()->box()->rows().back());
    app.settle(0.5);
    EXPECT_EQ(navigation()->presentedViewController(), nullptr);
    ASSERT_TRUE(app.waitForQuiet());
    app.settle(2.0);
    EXPECT_EQ(navigation()->presentedViewController(), nullptr) << "no toast";
    EXPECT_EQ(albumCount(), before);
}

TEST_F(SaveShareScenario, SavingWritesTheVisibleAreaOrTheWholeImageAndSaysSo) {
    const auto viewer = openDownloaded(38);
    ASSERT_TRUE(viewer->fullImage());
    const gfx::Size full = viewer->fullImage()->pixelSize();
    const size_t before = albumCount();

    saveWithRow(*viewer, 0);
    ASSERT_TRUE(waitForToast(PhotoViewController::kSaveSucceededText));
    ASSERT_EQ(albumCount(), before + 1);
    const auto visible = decodeFile(store::PhotoAlbum::imagePaths().back());
    ASSERT_TRUE(visible);
    const gfx::Rect expected = PhotoViewController::cropRect(
        PhotoViewController::visibleAreaRect(full, {0, 0}, 1.0, kScreen), full);
    EXPECT_EQ(visible->pixelSize(), expected.size);
    EXPECT_EQ(visible->pixelHeight(), full.height);

    app.settle(2.0);
    saveWithRow(*viewer, 1);
    ASSERT_TRUE(waitForToast(PhotoViewController::kSaveSucceededText));
    ASSERT_EQ(albumCount(), before + 2);
    const auto original = decodeFile(store::PhotoAlbum::imagePaths().back());
    ASSERT_TRUE(original);
    EXPECT_EQ(original->pixelSize(), full);

    // Zoomed in and scrolled, the visible area is the smaller stretch shown.
    viewer->scrollView()->setZoomScale(2.0, false);
    viewer->scrollView()->setContentOffset({40, 150});
    const gfx::Rect zoomed = PhotoViewController::cropRect(
        PhotoViewController::visibleAreaRect(full, viewer->scrollView()->contentOffset(), 2.0,
                                             kScreen),
        full);
    const auto zoomedImage = viewer->visibleAreaImage();
    ASSERT_TRUE(zoomedImage);
    EXPECT_EQ(zoomedImage->pixelSize(), zoomed.size);
    EXPECT_LT(zoomed.height(), full.height * 0.55);
    // Its top left pixel is the full image's pixel there.
    EXPECT_LT(
        difference(zoomedImage->pixelAt(3, 3),
                   viewer->fullImage()->pixelAt(int(zoomed.minX()) + 3, int(zoomed.minY()) + 3)),
        0.01);
}

TEST_F(SaveShareScenario, ARefusingAlbumShowsTheFailureWithItsDescription) {
    const auto viewer = openDownloaded(39);
    const size_t before = albumCount();
    store::PhotoAlbum::shared().setRefusalForTesting(store::AlbumError::accessDenied());
    saveWithRow(*viewer, 1);
    EXPECT_TRUE(
        waitForToast(std::string("保存失败: ") + store::AlbumError::accessDenied().description));
    EXPECT_EQ(albumCount(), before);
}

TEST_F(SaveShareScenario, WithoutTheFullImageSaveAndShareOnlyToast) {
    const auto po = photo(40);
    app.photos().setFailure(
        PhotoDocument::imagePath(app.photos().pool().photos().at(40), fixtures::ImageVariant::Full),
        fixtures::PhotoFailure::serverError500());
    const auto viewer = openDownloaded(40);
    ASSERT_FALSE(viewer->fullImage());
    app.settle(2.0);
    const size_t records = store::ShareOutbox::recordPaths().size();

    tap(*viewer->bbarSaveButton());
    app.settle(0.5);
    EXPECT_EQ(toastTitle(), PhotoViewController::kSaveNotDownloadedText);
    app.settle(2.0);
    tap(*viewer->bbarShareButton());
    app.settle(0.5);
    EXPECT_EQ(toastTitle(), PhotoViewController::kShareNotDownloadedText);
    app.settle(2.0);
    EXPECT_EQ(navigation()->presentedViewController(), nullptr);
    EXPECT_EQ(store::ShareOutbox::recordPaths().size(), records);
}

TEST_F(SaveShareScenario, TheQuoteIsCarriedIntoTheSavedAndTheSharedImage) {
    const auto viewer = openDownloaded(41);
    ASSERT_TRUE(viewer->fullImage());
    const auto plain = viewer->visibleAreaImage();
    ASSERT_TRUE(plain);
    viewer->fetchHitokoto();
    ASSERT_TRUE(app.waitFor([&] { return viewer->hitokotoModel().has_value(); }));
    const auto quoted = viewer->visibleAreaImage();
    ASSERT_TRUE(quoted);
    ASSERT_EQ(quoted->pixelSize(), plain->pixelSize());

    // The quote lies inside the label's place: centred, 20 points below
    // the top, in image pixels.
    const double k = viewer->fullImage()->pixelHeight() / kScreen.height;
    const gfx::Size label = viewer->hitokotoLbl()->bounds().size;
    const gfx::Rect place(k * (kScreen.width - label.width) / 2, k * 20, k * label.width,
                          k * label.height);
    const gfx::Rect ink = differingBox(*plain, *quoted, 0.1);
    ASSERT_FALSE(ink.isEmpty()) << "the quote is drawn";
    EXPECT_GE(ink.minX(), place.minX() - 1);
    EXPECT_LE(ink.maxX(), place.maxX() + 1);
    EXPECT_GE(ink.minY(), place.minY() - 1);
    EXPECT_LE(ink.maxY(), place.maxY() + 1);
    EXPECT_NEAR(ink.midX(), quoted->pixelWidth() / 2.0, k * 30) << "centred";

    // Shared: the record lists the excluded types in order and the image
    // carries the quote as the visible area does.
    const size_t records = store::ShareOutbox::recordPaths().size();
    tap(*viewer->bbarShareButton());
    app.settle(0.5);
    const auto sheet = std::dynamic_pointer_cast<store::ActivityViewController>(
        navigation()->presentedViewController());
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(app.waitFor([&] { return store::ShareOutbox::recordPaths().size() > records; }));
    const auto text = core::FileManager::readFile(store::ShareOutbox::recordPaths().back());
    ASSERT_TRUE(text);
    const core::Value record = core::JSON::parse(text.value()).value_or(core::Value());
    const core::Array excluded{store::ActivityTypePrint,
                               store::ActivityTypeCopyToPasteboard,
                               store::ActivityTypeAddToReadingList,
                               store::ActivityTypePostToVimeo,
                               store::ActivityTypeOpenInIBooks,
                               store::ActivityTypeAssignToContact,
                               store::ActivityTypeSaveToCameraRoll};
    EXPECT_EQ(record["excludedActivityTypes"], core::Value(excluded));
    const auto shared = decodeFile(store::ShareOutbox::folderPath() + "/" +
                                   record["items"][0]["file"].stringValue());
    ASSERT_TRUE(shared);
    ASSERT_EQ(shared->pixelSize(), quoted->pixelSize());
    EXPECT_TRUE(differingBox(*shared, *quoted, 0.02)
                    .intersection(gfx::Rect(0, 0, quoted->pixelWidth(), place.maxY() + 2))
                    .isEmpty())
        << "the shared image's top, quote included, is the visible area's";
    tap(*sheet->cancelButton());
    app.settle(0.5);
    EXPECT_EQ(navigation()->presentedViewController(), nullptr);

    // Saved: the album's JPEG shows the quote's strokes too.
    saveWithRow(*viewer, 0);
    ASSERT_TRUE(waitForToast(PhotoViewController::kSaveSucceededText));
    ASSERT_FALSE(store::PhotoAlbum::imagePaths().empty());
    const auto saved = decodeFile(store::PhotoAlbum::imagePaths().back());
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->pixelSize(), quoted->pixelSize());
    int strokes = 0;
    int mismatches = 0;
    for (int y = int(ink.minY()); y < int(ink.maxY()); y += 2) {
        for (int x = int(ink.minX()); x < int(ink.maxX()); x += 2) {
            if (difference(plain->pixelAt(x, y), quoted->pixelAt(x, y)) < 0.4) continue;
            ++strokes;
            if (difference(saved->pixelAt(x, y), quoted->pixelAt(x, y)) > 0.25) ++mismatches;
        }
    }
    EXPECT_GT(strokes, 50);
    EXPECT_LT(mismatches, strokes / 10);
}

TEST_F(SaveShareScenario, WhatTheAppKeepsOnlyItsUserMayRead) {
    const mode_t saved = umask(022);
    const auto viewer = openDownloaded(43);
    const size_t records = store::ShareOutbox::recordPaths().size();
    tap(*viewer->bbarShareButton());
    app.settle(0.5);
    const auto sheet = std::dynamic_pointer_cast<store::ActivityViewController>(
        navigation()->presentedViewController());
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(app.waitFor([&] { return store::ShareOutbox::recordPaths().size() > records; }));
    tap(*sheet->cancelButton());
    app.settle(0.5);
    saveWithRow(*viewer, 1);
    ASSERT_TRUE(waitForToast(PhotoViewController::kSaveSucceededText));
    umask(saved);

    // Defaults, caches, the album and the outbox, whoever wrote them.
    size_t files = 0;
    std::error_code error;
    const std::string home = core::FileManager::homeDirectory();
    for (auto entry = std::filesystem::recursive_directory_iterator(home, error);
         entry != std::filesystem::recursive_directory_iterator(); entry.increment(error)) {
        struct stat info {};
        ASSERT_EQ(lstat(entry->path().c_str(), &info), 0) << entry->path();
        if (S_ISLNK(info.st_mode)) continue;
        if (S_ISREG(info.st_mode)) ++files;
        EXPECT_EQ(info.st_mode & 077, 0u)
            << entry->path() << " is " << std::oct << (info.st_mode & 0777);
    }
    EXPECT_FALSE(error) << error.message();
    EXPECT_GE(files, 3u) << "the album's photo, the outbox's image and its record at least";
}

TEST_F(SaveShareScenario, InTheDesktopWindowMailTakesTheSharedImageOrSaysItCouldNot) {
    const storetest::FakeMailClient client("share-mail");
    client.install({.status = 1});
    store::ActivityViewController::setPerformsOnDesktop(true);
    const auto viewer = openDownloaded(44);
    tap(*viewer->bbarShareButton());
    app.settle(0.5);
    const auto sheet = std::dynamic_pointer_cast<store::ActivityViewController>(
        navigation()->presentedViewController());
    ASSERT_TRUE(sheet);
    ASSERT_EQ(sheet->availableActivityTypes(),
              std::vector<store::ActivityType>{store::ActivityTypeMail});
    app.window().layoutIfNeeded();
    tap(*sheet->activityViews().at(0));
    ASSERT_TRUE(app.waitFor([&] { return client.runs() == 1 && !sheet->isPerformingActivity(); }));
    app.settle(0.5);
    const auto toast =
        std::dynamic_pointer_cast<ui::AlertController>(sheet->presentedViewController());
    ASSERT_TRUE(toast) << "the refusal is shown over the sheet";
    EXPECT_EQ(toast->title(), PhotoViewController::kShareNotHandedText);
    app.settle(2.0);
    EXPECT_EQ(navigation()->presentedViewController(), sheet) << "the sheet stays for another try";

    client.install({.reads = true});
    tap(*sheet->activityViews().at(0));
    ASSERT_TRUE(app.waitFor([&] { return client.runs() == 2 && !sheet->isPerformingActivity(); }));
    app.settle(0.5);
    EXPECT_EQ(navigation()->presentedViewController(), nullptr) << "taken: the sheet goes";
    const auto mailed = decodeFile(client.copy(1).string());
    ASSERT_TRUE(mailed);
    EXPECT_EQ(mailed->pixelSize(), viewer->visibleAreaImage()->pixelSize());
}

}  // namespace
