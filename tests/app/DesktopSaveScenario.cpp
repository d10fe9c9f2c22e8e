// The viewer's save where the desktop window runs it: the photo lands in the
// folder set in place of the home's album (the desktop's pictures folder),
// whole, under a new name each time; and on the pad profile the save sheet
// is a popover pointing at the save button.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "ViewerScenario.h"
#include "app/vc/PhotoViewController.h"
#include "core/FileManager.h"
#include "fixtures/PhotoDocument.h"
#include "store/PhotoAlbum.h"
#include "ui/AlertActionRow.h"
#include "ui/AlertBoxView.h"
#include "ui/AlertController.h"
#include "ui/AlertView.h"
#include "ui/DeviceProfile.h"
#include "ui/ImageAsset.h"
#include "ui/NavigationController.h"
#include "ui/PopoverArrowView.h"
#include "ui/Renderer.h"

namespace {

using app::PhotoViewController;
using testsupport::decodeFile;

class DesktopSaveScenario : public testsupport::ViewerScenario {
protected:
    void TearDown() override {
        store::PhotoAlbum::setFolderOverride({});
        (void)ui::DeviceProfile::select("phone");
    }

    // Saves the original through the sheet and waits for the toast.
    void saveOriginal(const PhotoViewController& viewer) {
        saveWithRow(viewer, 1);
        ASSERT_TRUE(waitForToast(PhotoViewController::kSaveSucceededText));
        app.settle(2.0);
    }
};

TEST_F(DesktopSaveScenario, ASavedPhotoIsTheWholeDownloadUnderANewNameEachTime) {
    app.launch();
    const std::string pictures =
        (std::filesystem::path(testing::TempDir()) / ("pictures-" + std::to_string(getpid())))
            .string();
    (void)core::FileManager::removeItem(pictures);
    store::PhotoAlbum::setFolderOverride(pictures + "/Vantor");
    const size_t inHome = [] {
        const auto names = core::FileManager::contentsOfDirectory(
            core::FileManager::folderPath(core::Folder::Album));
        return names ? names.value().size() : 0;
    }();

    const auto viewer = openDownloaded(44);
    ASSERT_TRUE(viewer->fullImage());
    saveOriginal(*viewer);
    saveOriginal(*viewer);
    ASSERT_EQ(store::PhotoAlbum::imagePaths(),
              (std::vector<std::string>{pictures + "/Vantor/IMG_0001.jpg",
                                        pictures + "/Vantor/IMG_0002.jpg"}));
    const auto names =
        core::FileManager::contentsOfDirectory(core::FileManager::folderPath(core::Folder::Album));
    EXPECT_EQ(names ? names.value().size() : 0, inHome) << "nothing more in the home's album";

    // Each file decodes to the downloaded picture.
    const gfx::Image& downloaded = *viewer->fullImage();
    for (const auto& path : store::PhotoAlbum::imagePaths()) {
        const auto saved = decodeFile(path);
        ASSERT_TRUE(saved) << path;
        ASSERT_EQ(saved->pixelSize(), downloaded.pixelSize()) << path;
        double difference = 0;
        int samples = 0;
        for (int y = 0; y < saved->pixelHeight(); y += 7)
            for (int x = 0; x < saved->pixelWidth(); x += 7, ++samples) {
                const gfx::Color a = saved->pixelAt(x, y);
                const gfx::Color b = downloaded.pixelAt(x, y);
                difference += std::fabs(a.red - b.red) + std::fabs(a.green - b.green) +
                              std::fabs(a.blue - b.blue);
            }
        EXPECT_LT(difference / (3 * samples), 0.02) << path;
    }
    (void)core::FileManager::removeItem(pictures);
}

TEST_F(DesktopSaveScenario, OnThePadTheSaveSheetIsAPopoverPointingAtTheSaveButton) {
    ASSERT_TRUE(ui::DeviceProfile::select("pad"));
    app.launch();
    const auto viewer = openDownloaded(45);
    app.settle(1.0);  // the viewer's fade-in ends
    const auto before = ui::Renderer::render(app.window(), 1);
    tap(*viewer->bbarSaveButton());
    app.settle(0.5);
    const auto sheet = presentedAlert();
    ASSERT_TRUE(sheet);
    app.window().layoutTree();
    const auto picture = ui::Renderer::render(app.window(), 1);
    ASSERT_TRUE(before && picture);

    const ui::View& button = *viewer->bbarSaveButton();
    const gfx::Rect anchor = button.convertRectTo(button.bounds(), nullptr);
    const auto arrow = sheet->alertView()->arrow();
    ASSERT_TRUE(arrow);
    const gfx::Rect box =
        sheet->alertView()->box()->convertRectTo(sheet->alertView()->box()->bounds(), nullptr);
    EXPECT_EQ(box.width(), ui::AlertView::kPopoverWidth);
    EXPECT_NEAR(box.maxY(), anchor.minY() - ui::PopoverPresentationController::kArrowLength, 0.5)
        << "right above the button";

    // In the picture: the sheet's light grey at the arrow's base and down to
    // near its point over the button's middle; the screen away from the
    // popover as it was, undimmed.
    const auto light = [](const gfx::Color& c) {
        return c.red > 0.9 && c.green > 0.9 && c.blue > 0.9;
    };
    const int x = int(std::round(anchor.midX()));
    const int base = int(anchor.minY() - ui::PopoverPresentationController::kArrowLength + 1);
    EXPECT_TRUE(light(picture->pixelAt(x, base)));
    EXPECT_TRUE(light(picture->pixelAt(x, int(anchor.minY()) - 3)));
    // Beside its point the viewer still shows through: an arrow, not a bar.
    const gfx::Color beside = picture->pixelAt(x - 11, int(anchor.minY()) - 3);
    const gfx::Color besideBefore = before->pixelAt(x - 11, int(anchor.minY()) - 3);
    EXPECT_NEAR(beside.red, besideBefore.red, 0.02);
    EXPECT_NEAR(beside.blue, besideBefore.blue, 0.02);
    EXPECT_TRUE(light(picture->pixelAt(int(box.midX()), int(box.midY()))));
    const gfx::Color away = picture->pixelAt(20, 200);
    const gfx::Color was = before->pixelAt(20, 200);
    EXPECT_NEAR(away.red, was.red, 0.02);
    EXPECT_NEAR(away.green, was.green, 0.02);
    EXPECT_NEAR(away.blue, was.blue, 0.02);
}

}  // namespace
