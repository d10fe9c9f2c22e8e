// WaterfallViewController: cells, thumbnails and scrolling.

#include <cmath>

#include "app/utils/PhotoGridCell.h"
#include "app/vc/WaterfallViewController.h"
#include "core/Console.h"
#include "core/StringFormat.h"

namespace app {

ui::ImageOptions WaterfallViewController::thumbnailOptions() {
    return PhotoGridCell::thumbnailOptions();
}

int WaterfallViewController::numberOfItemsInSection(ui::CollectionView&, int) {
    return static_cast<int>(imageDataSources_.size());
}

std::shared_ptr<ui::CollectionViewCell> WaterfallViewController::cellForItemAtIndexPath(
    ui::CollectionView& view, const ui::IndexPath& indexPath) {
    return makePhotoCell(view, indexPath);
}

std::shared_ptr<ui::CollectionViewCell> WaterfallViewController::makePhotoCell(
    ui::CollectionView& view, const ui::IndexPath& indexPath) {
    auto cell = view.dequeueReusableCell(kCellIdentifier, indexPath);
    const auto row = static_cast<size_t>(indexPath.row());
    if (imageDataSources_.empty() || row >= imageDataSources_.size()) return cell;

    const std::shared_ptr<PhotosObject> photo = imageDataSources_[row];
    std::weak_ptr<WaterfallViewController> weakSelf = self();
    PhotoGridCell::fill(view, *cell, indexPath, *photo,
                        [weakSelf, row, photo](gfx::ImagePtr image, std::optional<ui::ImageError> error,
                                               ui::CacheType cacheType, std::optional<core::URL> url) {
                            if (const auto screen = weakSelf.lock())
                                screen->thumbnailLoaded(image, error, cacheType, url, row, photo);
                        });
    return cell;
}

void WaterfallViewController::thumbnailLoaded(const gfx::ImagePtr& image,
                                              const std::optional<ui::ImageError>& error,
                                              ui::CacheType cacheType,
                                              const std::optional<core::URL>& url, size_t row,
                                              const std::shared_ptr<PhotosObject>& photo) {
    PhotoGridCell::thumbnailLoaded(imageDataSources_, image, error, cacheType, url, row, *photo);
}

void WaterfallViewController::didSelectItemAtIndexPath(ui::CollectionView&,
                                                       const ui::IndexPath& indexPath) {
    if (indexPath.row() >= 0) openPhoto(static_cast<size_t>(indexPath.row()));
}

void WaterfallViewController::scrollViewDidScroll(ui::ScrollView& scrollView) {
    lastScrollOffset_ = scrollView.contentOffset().y;
}

void WaterfallViewController::scrollViewDidEndDecelerating(ui::ScrollView&) {
    loadMoreAtBottom();
}

void WaterfallViewController::loadMoreAtBottom() {
    if (isFavourites() || !collectionView_) return;
    const double offset = collectionView_->contentOffset().y;
    const double distance =
        collectionView_->contentSize().height - collectionView_->frame().height() - offset;
    if (std::abs(distance) - kBottomAllowance < 1) {
        core::Console::log("滑动到底部,,, 加载更多");
        if (!loadMoreLimiter_.allowsLoadMore()) {
            core::Console::log(kLoadMorePausedLine);
            return;
        }
        showLoadingMore();
        fetchPhotos(currentPageIndex_, false);
        return;
    }
    if (offset == -64) core::Console::log("contentOffset.y == -64");
}

}  // namespace app
