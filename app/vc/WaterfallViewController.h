#pragma once
// The explore feed, first page of the tab container: the photo service's
// photo list as a two-column waterfall. It refreshes page 1 when it loads
// and when the user pulls down, puts a refresh's new photos on top (the
// last of the page first) and a later page's at the bottom, skips photos it
// already lists, stores the first page under its history key, loads the
// next page when a scroll comes to rest at the bottom, and carries the
// round button that opens the search screen.
//
// After a failed load-more request the next scroll to the bottom asks for
// the same page again; loading more pauses after
// LoadMoreLimiter::kMaxEmptyPages pages in a row that brought nothing new,
// until the next refresh. Main thread only.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/utils/LoadMoreLimiter.h"
#include "app/utils/WaterCollectionViewLayout.h"
#include "app/vc/BaseContentViewController.h"
#include "core/HTTPClient.h"
#include "ui/Button.h"
#include "ui/CollectionView.h"
#include "ui/ImageOptions.h"

namespace app {

class WaterfallViewController : public BaseContentViewController,
                                public ui::CollectionViewDataSource,
                                public ui::CollectionViewDelegate {
public:
    static constexpr const char* kCellIdentifier = "newCell";
    static constexpr std::int64_t kPerPage = 15;
    // A scroll that comes to rest within this many points (plus one) of the
    // bottom loads more.
    static constexpr double kBottomAllowance = 34;
    // After a page, the feed glides to the last scroll offset plus this
    // share of the screen height.
    static constexpr double kScrollNudge = 0.05;
    static constexpr double kSearchIconSize = 60;
    static constexpr double kSearchIconRightInset = 40;
    static constexpr double kSearchIconBottomInset = 100;

    WaterfallViewController(std::string urlString, std::string historyKey);

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewWillLayoutSubviews() override;

    // Restored photos go below what the feed lists.
    void showHistoryPhotos(const PhotoList& photos) override;

    // Pull to refresh: page 1 again, unless a fetch is running.
    void fetchAction();
    void searchIconAction();
    // One page request; ignored while a fetch runs, and for a load-more
    // while loading more is paused.
    void fetchPhotos(std::int64_t page, bool isRefresh);
    // Asks for page currentPageIndex when the scroll rests at the bottom.
    void loadMoreAtBottom();
    // Pushes the photo viewer on a tapped photo, with the cross-fade.
    void openPhoto(size_t index);
    void pushSearchScreen();

    // ui::CollectionViewDataSource
    [[nodiscard]] int numberOfItemsInSection(ui::CollectionView& view, int section) override;
    [[nodiscard]] std::shared_ptr<ui::CollectionViewCell> cellForItemAtIndexPath(
        ui::CollectionView& view, const ui::IndexPath& indexPath) override;

    // ui::CollectionViewDelegate and its scrolling
    void didSelectItemAtIndexPath(ui::CollectionView& view,
                                  const ui::IndexPath& indexPath) override;
    void scrollViewDidScroll(ui::ScrollView& scrollView) override;
    void scrollViewDidEndDecelerating(ui::ScrollView& scrollView) override;

    [[nodiscard]] const core::HTTPHeaderList& headers() const { return headers_; }
    [[nodiscard]] const PhotoList& imageDataSources() const { return imageDataSources_; }
    [[nodiscard]] const std::shared_ptr<ui::CollectionView>& collectionView() const {
        return collectionView_;
    }
    [[nodiscard]] const std::shared_ptr<ui::Button>& searchIcon() const { return searchIcon_; }
    [[nodiscard]] const std::shared_ptr<WaterCollectionViewLayout>& waterLayout() const {
        return waterLayout_;
    }
    [[nodiscard]] double lastScrollOffset() const { return lastScrollOffset_; }
    [[nodiscard]] const LoadMoreLimiter& loadMoreLimiter() const { return loadMoreLimiter_; }

    // The options of a thumbnail load: a 3-second flip from the left.
    [[nodiscard]] static ui::ImageOptions thumbnailOptions();

private:
    static constexpr const char* kLoadMorePausedLine = "加载更多已暂停，下拉刷新后继续";

    [[nodiscard]] std::shared_ptr<WaterfallViewController> self();

    void setupCollectionView();
    void setupSearchIcon();
    void layoutFeedViews();

    void handlePhotosResponse(const core::HTTPResult<core::Value>& result, std::int64_t page,
                              bool isRefresh);
    // The photos of a page that the feed does not list yet, in batch order.
    [[nodiscard]] PhotoList photosFrom(const core::Value& json, bool isRefresh) const;
    void takePhotos(const PhotoList& batch, std::int64_t page, bool isRefresh);
    void followEmptyPage();
    void endFetching();
    // The load-more band, the spinner, the tips and the refresh spinner go.
    void hideLoadingViews();
    void showFetchError(const std::optional<core::HTTPClientError>& error);
    // The layout reads imageDataSources_ through its setSize closure.
    void givePhotosToLayout();
    void reloadCollection();
    void autoScroll(double y);

    [[nodiscard]] std::shared_ptr<ui::CollectionViewCell> makePhotoCell(
        ui::CollectionView& view, const ui::IndexPath& indexPath);
    void thumbnailLoaded(const gfx::ImagePtr& image, const std::optional<ui::ImageError>& error,
                         ui::CacheType cacheType, const std::optional<core::URL>& url, size_t row,
                         const std::shared_ptr<PhotosObject>& photo);

    core::HTTPHeaderList headers_;
    PhotoList imageDataSources_;
    std::shared_ptr<ui::CollectionView> collectionView_;
    std::shared_ptr<ui::Button> searchIcon_;
    std::shared_ptr<WaterCollectionViewLayout> waterLayout_;
    LoadMoreLimiter loadMoreLimiter_;
};

}  // namespace app
