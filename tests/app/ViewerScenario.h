#pragma once
// What the viewer's scenarios share: the launched app, a pool photo opened
// in the viewer and fully downloaded, taps on its views, the presented
// sheet or toast, a save through the size sheet, and reading a saved file (testsupport::decodeFile).

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "AppHarness.h"
#include "support/DecodedFile.h"
#include "app/vc/PhotoViewController.h"
#include "fixtures/PhotoDocument.h"
#include "ui/AlertActionRow.h"
#include "ui/AlertBoxView.h"
#include "ui/AlertController.h"
#include "ui/AlertView.h"
#include "ui/ImageAsset.h"
#include "ui/NavigationController.h"

namespace testsupport {

class ViewerScenario : public testing::Test {
protected:
    [[nodiscard]] std::shared_ptr<ui::NavigationController> navigation() const {
        return std::dynamic_pointer_cast<ui::NavigationController>(
            app.window().rootViewController());
    }
    // Pool photo `index`, as a feed lists it; each test takes photos no
    // other test opens.
    [[nodiscard]] std::shared_ptr<app::PhotosObject> photo(size_t index) {
        auto po = app::PhotosObject::fromJSON(fixtures::PhotoDocument::photo(
            app.photos().pool().photos().at(index), app.photos().baseURL()));
        po->isHolder = false;
        po->smallImage = ui::imageNamed("bg_slice");
        return po;
    }
    // Opens the photo and waits for the end of its full download.
    std::shared_ptr<app::PhotoViewController> openDownloaded(size_t index) {
        auto viewer = std::make_shared<app::PhotoViewController>();
        viewer->setPo(photo(index));
        navigation()->pushViewController(viewer, false);
        app.settle(1.2);
        EXPECT_TRUE(app.waitFor([&] { return !viewer->bbarSaveButton()->isHidden(); }));
        app.window().layoutIfNeeded();
        return viewer;
    }
    void tap(const ui::View& view) {
        app.touches().tap(view.convertRectTo(view.bounds(), nullptr).center());
    }
    [[nodiscard]] std::shared_ptr<ui::AlertController> presentedAlert() const {
        return std::dynamic_pointer_cast<ui::AlertController>(
            navigation()->presentedViewController());
    }
    [[nodiscard]] std::string toastTitle() const {
        const auto alert = presentedAlert();
        return alert && alert->preferredStyle() == ui::AlertControllerStyle::Alert ? alert->title()
                                                                                   : "";
    }
    // Taps save, then the sheet's row `row` (0: visible area, 1: original,
    // 2: cancel), and lets the sheet go.
    void saveWithRow(const app::PhotoViewController& viewer, size_t row) {
        tap(*viewer.bbarSaveButton());
        app.settle(0.5);
        const auto sheet = presentedAlert();
        ASSERT_TRUE(sheet);
        tap(*sheet->alertView()->box()->rows().at(row));
        app.settle(0.5);
    }
    bool waitForToast(const std::string& title) {
        return app.waitFor([&] { return toastTitle() == title; });
    }

    AppHarness app;
};

}  // namespace testsupport
