#include "app/utils/PhotoGridCell.h"

#include "app/services/UnsplashService.h"
#include "core/Clock.h"
#include "core/Console.h"
#include "core/StringFormat.h"
#include "ui/ImageLoading.h"
#include "ui/ImageView.h"

namespace app {

ui::ImageOptions PhotoGridCell::thumbnailOptions() {
    ui::ImageOptions options;
    options.transition = ui::ImageTransition::flipFromLeft(kFlipSeconds);
    return options;
}

void PhotoGridCell::fill(ui::CollectionView& view, ui::CollectionViewCell& cell,
                         const ui::IndexPath& indexPath, const PhotosObject& photo,
                         ui::ImageCompletionHandler completion) {
    // The cell takes its frame after the data source returns it: size the
    // image from the layout.
    const auto attributes = view.layoutAttributesForItemAtIndexPath(indexPath);
    const gfx::Rect area(gfx::Point(), attributes ? attributes->size() : cell.bounds().size);
    auto background = std::make_shared<ui::View>(area);
    auto imageView = std::make_shared<ui::ImageView>(area);
    imageView->setContentMode(gfx::ContentMode::ScaleAspectFit);
    background->addSubview(imageView);
    cell.setBackgroundView(background);

    ui::ImageOptions options = thumbnailOptions();
    options.targetPixelSize = ui::screenPixelSize(area.size);
    ui::setImage(
        *imageView, core::URL::create(photo.smallUrl), photo.smallImage, options,
        [](std::int64_t, std::int64_t) {}, std::move(completion));
}

void PhotoGridCell::thumbnailLoaded(const PhotoList& photos, const gfx::ImagePtr& image,
                                    const std::optional<ui::ImageError>& error,
                                    ui::CacheType cacheType, const std::optional<core::URL>& url,
                                    size_t row, const PhotosObject& photo) {
    if (!image) {
        core::Console::log(core::format("download image error: %@, cacheType: %d",
                                        error ? error->message : std::string("nil"),
                                        static_cast<int>(cacheType)));
        return;
    }
    const core::Value now(core::Date{core::Clock::current()->wallSeconds()});
    core::Console::log(core::format("%@, download image completion!! %zu", now, row));

    const std::string loaded = url ? url->absoluteString() : photo.smallUrl;
    for (const auto& listed : photos) {
        if (listed->smallUrl != loaded) continue;
        listed->isHolder = false;
        listed->smallImage = image;
    }
    if (!photo.downloadLocation.empty())
        UnsplashService::shared().reqDownloadLocation(photo.downloadLocation);
}

}  // namespace app
