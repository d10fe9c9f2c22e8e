#include "app/vc/PhotoViewController.h"

#include <algorithm>

#include "app/services/Common.h"
#include "gfx/Bitmap.h"
#include "store/ActivityViewController.h"
#include "ui/ImageAsset.h"

namespace app {

namespace {

// Below this share of its size the text would be too small beside the code.
constexpr double kSmallestBesideCode = 0.4;
constexpr double kFontStep = 0.5;
// The gap between the text and the code below it.
constexpr double kShareTextAboveCode = 20;

gfx::TextStyle shareTextStyle(double fontSize) {
    gfx::TextStyle style;
    style.font = gfx::Font::system(fontSize);
    style.color = gfx::Color::white();
    style.paragraph.lineSpacing = 6.0;
    style.paragraph.alignment = gfx::TextAlignment::Right;
    return style;
}

}  // namespace

void PhotoViewController::shareAction(const std::shared_ptr<ui::View>& sender) {
    sharePhoto(sender);
}

gfx::TextLayout PhotoViewController::shareTextLayout(double fontSize) {
    const gfx::TextStyle style = shareTextStyle(fontSize);
    const double width = gfx::TextLayout(kShareText, style).size().width;
    return gfx::TextLayout(kShareText, style, width);
}

PhotoViewController::ShareTextPlacement PhotoViewController::placeShareText(gfx::Size imageSize) {
    gfx::TextLayout layout = shareTextLayout();
    const gfx::Size block = layout.size();
    const gfx::Point wide{imageSize.width - kShareTextRight, imageSize.height - kShareTextBottom};
    if (wide.x >= kShareTextMargin) return {std::move(layout), wide};

    // Beside the code, its right edge and bottom where the wide layout has
    // them; above the code, against the right margin, when the room beside
    // it would make the text too small.
    double right = wide.x + block.width;
    double bottom = wide.y + block.height;
    if (right - kShareTextMargin < block.width * kSmallestBesideCode) {
        right = imageSize.width - kShareTextMargin;
        bottom = imageSize.height - kQrCodeBottom - kShareTextAboveCode;
    }
    const double room = std::max(0.0, right - kShareTextMargin);
    double fontSize = kShareFontSize * std::min(1.0, room / block.width);
    layout = shareTextLayout(fontSize);
    // Glyph widths do not scale exactly with the size.
    while (layout.size().width > room && fontSize > kFontStep) {
        fontSize = std::max(kFontStep, fontSize - kFontStep);
        layout = shareTextLayout(fontSize);
    }
    const gfx::Size shrunk = layout.size();
    const gfx::Point origin{right - shrunk.width, bottom - shrunk.height};
    return {std::move(layout), origin};
}

gfx::ImagePtr PhotoViewController::composeShareImage(const gfx::ImagePtr& base,
                                                     const gfx::ImagePtr& qrCode) {
    if (!base) return nullptr;
    const gfx::Size size = base->pixelSize();
    const auto bitmap = gfx::Bitmap::create(size, 1);
    if (!bitmap) return nullptr;
    gfx::Canvas& canvas = bitmap->canvas();
    canvas.drawImage(*base, gfx::Rect({0, 0}, size));
    const ShareTextPlacement text = placeShareText(size);
    canvas.drawText(text.layout, text.origin);
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
    // A share the desktop's mail client did not take says so over the sheet,
    // which stays for another try or Cancel (unless the person closed it).
    const std::weak_ptr<store::ActivityViewController> weakSheet = sheet;
    sheet->setCompletionHandler([weakSheet](const store::ActivityType&, bool completed,
                                            const std::optional<std::string>&) {
        const auto shown = weakSheet.lock();
        if (completed || !shown || !shown->presentingViewController() || shown->isBeingDismissed())
            return;
        showToast(kShareNotHandedText, shown, kToastSeconds);
    });
    anchorAtSender(sheet->popoverPresentationController().get(), sender);
    presentViewController(sheet, true);
}

}  // namespace app
