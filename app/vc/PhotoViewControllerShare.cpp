#include "app/vc/PhotoViewController.h"
#include "gfx/Bitmap.h"
#include "store/ActivityViewController.h"
#include "ui/ImageAsset.h"

namespace app {

namespace {

gfx::TextStyle shareTextStyle() {
    gfx::TextStyle style;
    style.font = gfx::Font::system(60);
    style.color = gfx::Color::white();
    style.paragraph.lineSpacing = 6.0;
    style.paragraph.alignment = gfx::TextAlignment::Right;
    return style;
}

}  // namespace

void PhotoViewController::shareAction(const std::shared_ptr<ui::View>& sender) {
    sharePhoto(sender);
}

gfx::TextLayout PhotoViewController::shareTextLayout() {
    const gfx::TextStyle style = shareTextStyle();
    const double width = gfx::TextLayout(kShareText, style).size().width;
    return gfx::TextLayout(kShareText, style, width);
}

gfx::ImagePtr PhotoViewController::composeShareImage(const gfx::ImagePtr& base,
                                                     const gfx::ImagePtr& qrCode) {
    if (!base) return nullptr;
    const gfx::Size size = base->pixelSize();
    const auto bitmap = gfx::Bitmap::create(size, 1);
    if (!bitmap) return nullptr;
    gfx::Canvas& canvas = bitmap->canvas();
    canvas.drawImage(*base, gfx::Rect({0, 0}, size));
    canvas.drawText(shareTextLayout(),
                    {size.width - kShareTextRight, size.height - kShareTextBottom});
    if (qrCode)
        canvas.drawImage(*qrCode, gfx::Rect(size.width - kQrCodeRight, size.height - kQrCodeBottom,
                                            kQrCodeSide, kQrCodeSide));
    return bitmap->makeImage();
}

void PhotoViewController::sharePhoto(const std::shared_ptr<ui::View>& sender) {
    if (!fullImage_) {
        showMessage(kShareNotDownloadedText, kToastSeconds);
        return;
    }
    const auto image = composeShareImage(visibleAreaImage(), ui::imageNamed("qr_code"));
    if (!image) return;
    const auto sheet = store::ActivityViewController::create({image});
    sheet->setExcludedActivityTypes(
        {store::ActivityTypePrint, store::ActivityTypeCopyToPasteboard,
         store::ActivityTypeAddToReadingList, store::ActivityTypePostToVimeo,
         store::ActivityTypeOpenInIBooks, store::ActivityTypeAssignToContact,
         store::ActivityTypeSaveToCameraRoll});
    anchorAtSender(sheet->popoverPresentationController().get(), sender);
    presentViewController(sheet, true);
}

}  // namespace app
