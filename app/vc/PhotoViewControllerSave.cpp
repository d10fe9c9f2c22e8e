#include <algorithm>

#include "app/vc/PhotoViewController.h"
#include "core/Console.h"
#include "gfx/Bitmap.h"
#include "store/PhotoAlbum.h"
#include "ui/AlertController.h"
#include "ui/DeviceProfile.h"
#include "ui/PopoverPresentationController.h"
#include "ui/Renderer.h"

namespace app {

void PhotoViewController::saveToAlbumAction(const std::shared_ptr<ui::View>& sender) {
    showSaveOptions(sender);
}

void PhotoViewController::showSaveOptions(const std::shared_ptr<ui::View>& sender) {
    if (!fullImage_) {
        showMessage(kSaveNotDownloadedText, kToastSeconds);
        return;
    }
    const auto sheet = ui::AlertController::create(kSaveSheetTitle, kSaveSheetMessage,
                                                   ui::AlertControllerStyle::ActionSheet);
    const auto weak = weakSelf();
    sheet->addAction(
        {kSaveVisibleAreaTitle, ui::AlertActionStyle::Default, [weak](const ui::AlertAction&) {
             if (auto screen = weak.lock()) screen->saveVisibleArea();
         }});
    sheet->addAction(
        {kSaveOriginalTitle, ui::AlertActionStyle::Default, [weak](const ui::AlertAction&) {
             if (auto screen = weak.lock()) screen->saveOriginal();
         }});
    sheet->addAction({kSaveCancelTitle, ui::AlertActionStyle::Cancel, nullptr});
    anchorAtSender(sheet->popoverPresentationController().get(), sender);
    presentViewController(sheet, true);
}

void PhotoViewController::anchorAtSender(ui::PopoverPresentationController* popover,
                                         const std::shared_ptr<ui::View>& sender) {
    if (!popover || !sender) return;
    popover->setSourceView(sender);
    popover->setSourceRect(sender->bounds());
}

void PhotoViewController::saveVisibleArea() {
    writeToAlbum(visibleAreaImage());
}

void PhotoViewController::saveOriginal() {
    writeToAlbum(fullImage_);
}

void PhotoViewController::writeToAlbum(const gfx::ImagePtr& image) {
    store::PhotoAlbum::shared().writeImage(
        image, [weak = weakSelf()](const std::optional<store::AlbumError>& error) {
            if (auto screen = weak.lock()) screen->saveFinished(error);
        });
}

void PhotoViewController::saveFinished(const std::optional<store::AlbumError>& error) {
    if (error) {
        showMessage(kSaveFailedPrefix + error->description, kToastSeconds);
        core::Console::log("save error: " + error->description);
        return;
    }
    showMessage(kSaveSucceededText, kToastSeconds);
    core::Console::log("save success");
}

gfx::Rect PhotoViewController::visibleAreaRect(gfx::Size imageSize, gfx::Point contentOffset,
                                               double zoomScale, gfx::Size screenSize) {
    if (imageSize.isEmpty() || screenSize.isEmpty() || !(zoomScale > 0)) return {};
    // Image pixels per content point: the photo is laid out at the screen's
    // height, then zoomed.
    const double pixelsPerPoint = imageSize.height / (screenSize.height * zoomScale);
    return {contentOffset.x * pixelsPerPoint, contentOffset.y * pixelsPerPoint,
            screenSize.width * pixelsPerPoint, screenSize.height * pixelsPerPoint};
}

gfx::Rect PhotoViewController::cropRect(const gfx::Rect& visible, gfx::Size imageSize) {
    const gfx::Rect whole({0, 0}, imageSize);
    const gfx::Rect clamped = visible.integral().intersection(whole);
    return clamped.isEmpty() ? whole : clamped;
}

gfx::ImagePtr PhotoViewController::visibleAreaImage() {
    if (!fullImage_) return nullptr;
    const gfx::Size screen = ui::DeviceProfile::current().screenBounds().size;
    const gfx::Size imageSize = fullImage_->pixelSize();
    const gfx::Rect visible =
        visibleAreaRect(imageSize, scrollView_->contentOffset(), scrollView_->zoomScale(), screen);
    const gfx::Rect crop = cropRect(visible, imageSize);
    const auto cut = fullImage_->cropped(crop);
    if (!cut) return nullptr;
    const auto bitmap = gfx::Bitmap::create(cut->pixelSize(), 1);
    if (!bitmap) return nullptr;
    gfx::Canvas& canvas = bitmap->canvas();
    canvas.drawImage(*cut, gfx::Rect({0, 0}, cut->pixelSize()));

    // The quote where the screen shows it, in pixels of the cut image.
    if (!visible.isEmpty()) {
        view()->layoutIfNeeded();
        const double k = visible.width() / screen.width;
        const gfx::Size label = hitokotoLbl_->bounds().size;
        const gfx::Rect quote(visible.minX() + k * (screen.width - label.width) * 0.5 - crop.minX(),
                              visible.minY() + k * kQuoteTop - crop.minY(), k * label.width,
                              k * label.height);
        ui::Renderer::drawViewHierarchy(*hitokotoLbl_, canvas, quote);
    }
    return bitmap->makeImage();
}

}  // namespace app
