#include <algorithm>
#include <cstdio>

#include "app/services/UnsplashService.h"
#include "app/vc/PhotoViewController.h"
#include "core/Console.h"
#include "core/Queue.h"
#include "ui/ImageLoading.h"

namespace app {

namespace {

std::optional<core::URL> fullURL(const PhotosObject& photo) {
    return core::URL::create(photo.fullUrl);
}

std::string twoDecimals(double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

}  // namespace

double PhotoViewController::progressFraction(std::int64_t received, std::int64_t total) {
    if (total < 1) return 0.0;
    return std::clamp(static_cast<double>(received) / static_cast<double>(total), 0.0, 1.0);
}

std::string PhotoViewController::percentText(double fraction) {
    return twoDecimals(fraction * 100.0) + "%";
}

std::string PhotoViewController::sizeText(std::int64_t received, std::int64_t total) {
    constexpr double kMegabyte = 1024.0 * 1024.0;
    return twoDecimals(static_cast<double>(received) / kMegabyte) + "/" +
           twoDecimals(static_cast<double>(total) / kMegabyte) + " MB";
}

void PhotoViewController::downloadFullImage() {
    ui::setImage(*imageView_, fullURL(*po_));
    core::Queue::main()->after(kRestartDelay, [weak = weakSelf()] {
        if (auto screen = weak.lock()) screen->restartFullDownload();
    });
}

void PhotoViewController::restartFullDownload() {
    if (closed_) return;
    ui::cancelDownloadTask(*imageView_);
    core::Queue::main()->after(kRestartDelay, [weak = weakSelf()] {
        if (auto screen = weak.lock()) screen->beginFullDownload();
    });
}

void PhotoViewController::beginFullDownload() {
    if (closed_) return;
    const auto url = fullURL(*po_);
    core::Console::log("begin download: " + (url ? url->absoluteString() : std::string("nil")));
    ui::ImageOptions options;
    options.transition = ui::ImageTransition::fade(kFadeSeconds);
    const auto weak = weakSelf();
    ui::setImage(
        *imageView_, url, holderImage_, options,
        [weak](std::int64_t received, std::int64_t total) {
            if (auto screen = weak.lock()) screen->downloadProgress(received, total);
        },
        [weak](gfx::ImagePtr image, std::optional<ui::ImageError> error, ui::CacheType cacheType,
               std::optional<core::URL> url) {
            if (auto screen = weak.lock()) screen->downloadCompleted(image, error, cacheType, url);
        });
}

void PhotoViewController::downloadProgress(std::int64_t received, std::int64_t total) {
    if (total < 1) return;
    sizeLabelBelowPercent_ = true;
    layoutViewer();
    const double fraction = progressFraction(received, total);
    bottomBarPercentLbl_->setText(percentText(fraction));
    bottomBarSizeLbl_->setText(sizeText(received, total));
    blurView_->setAlpha(1.0 - fraction);
}

void PhotoViewController::downloadCompleted(const gfx::ImagePtr& image,
                                            const std::optional<ui::ImageError>& error,
                                            ui::CacheType cacheType,
                                            const std::optional<core::URL>&) {
    // A load cancelled by leaving the screen ends quietly.
    if (closed_ || (error && error->isCancelled())) return;
    core::Console::log("download image completion!!");
    bottomBarPercentLbl_->setHidden(true);
    bottomBarSizeLbl_->setHidden(true);
    showBarButtons();
    if (image) {
        fullImage_ = image;
        layoutImage(image);
        blurView_->setAlpha(0.0);
        if (po_ && !po_->downloadLocation.empty())
            UnsplashService::shared().reqDownloadLocation(po_->downloadLocation);
        return;
    }
    showMessage(kDownloadFailedText, kToastSeconds);
    core::Console::log("download image error: " + (error ? error->message : std::string()) +
                       "!!!cacheType:  " + std::to_string(static_cast<int>(cacheType)));
}

void PhotoViewController::showBarButtons() {
    for (const auto& button :
         {bbarCollectButton_, bbarSaveButton_, bbarShareButton_, bbarJuButton_})
        button->setHidden(false);
}

}  // namespace app
