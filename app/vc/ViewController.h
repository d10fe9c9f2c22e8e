#pragma once
// The featured feed: random featured photos of the photo service, fifteen a
// request, one per full-width row of a black table whose rows grow towards
// the middle of the screen and shrink towards its edges. Counting the new
// photos from 0 since the screen was made, a 120-point banner row follows
// photo 8, 16, 24 and every further 8th. Pulling down puts a fresh batch on
// top (its photos reversed, its banner rows after them); coming to rest at
// the bottom appends one; a batch asked as page 1 is stored as the feed's
// first page. When the screen first appears with nothing restored, it
// fetches page 1 as a pull would, with the refresh control spinning; a
// restored first page waits for the user.
//
// With the favourites key the same screen shows the stored favourites: no
// refresh control, no load-more, no banner rows.
//
// Main thread only; requests answer on the main queue.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/services/PhotosObject.h"
#include "app/utils/LoadMoreLimiter.h"
#include "app/vc/BaseContentViewController.h"
#include "core/HTTPClient.h"
#include "gfx/Geometry.h"
#include "ui/ImageOptions.h"
#include "ui/TableView.h"

namespace ads {
class DZBannerView;
}

namespace app {

class PhotoTableViewCell;

class ViewController : public BaseContentViewController,
                       public ui::TableViewDataSource,
                       public ui::TableViewDelegate {
public:
    static constexpr const char* kCellIdentifier = "ssss";
    static constexpr double kAdsCellHeight = 120;
    // A banner row follows every kAdInterval-th new photo, from photo 8 on.
    static constexpr std::int64_t kAdInterval = 8;
    static constexpr std::int64_t kPhotosPerRequest = 15;
    // How near the bottom (in points) a scroll must come to rest to load more.
    static constexpr double kLoadMoreDistance = 34;
    static constexpr const char* kLoadMorePaused = "加载更多已暂停，下拉刷新后继续";

    ViewController(std::string urlString, std::string historyKey);
    ~ViewController() override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidLayoutSubviews() override;
    [[nodiscard]] bool prefersStatusBarHidden() const override { return true; }

    void showHistoryPhotos(const PhotoList& photos) override;

    // The refresh control's action: page 1 on top, unless a fetch runs.
    void fetchAction();
    void fetchRandomPhotos(std::int64_t page, bool isRefresh);
    void handleRandomPhotosResponse(const core::HTTPResult<core::Value>& result, bool isRefresh,
                                    std::int64_t page);
    // Rebuilds the list from the stored favourites and reloads the table.
    void loadCollectedPhotos();

    // Height of row r: full width at the photo's aspect ratio (cellHeight
    // when a side is 0), the ad entry's height for a banner row.
    [[nodiscard]] double rowHeight(std::size_t row) const;
    // The photo a tap on row r opens; nullptr for a banner row.
    [[nodiscard]] std::shared_ptr<PhotosObject> photoToOpen(std::size_t row) const;
    // A selected row: deselects it and pushes the photo viewer, without
    // animation but with the cross-fade, showing the row's image until the
    // viewer has its own; banner rows open nothing.
    void openPhoto(std::size_t row);
    void scaleVisibleCells();
    void loadMoreAtBottom();
    // Glides the table to offset y, 0.1 s from now.
    void autoScroll(double y);

    [[nodiscard]] const std::shared_ptr<ui::TableView>& tableView() const { return tableView_; }
    [[nodiscard]] const PhotoList& imageDataSources() const { return imageDataSources_; }
    [[nodiscard]] const core::HTTPHeaderList& headers() const { return headers_; }
    [[nodiscard]] std::int64_t photoIndex() const { return photoIndex_; }
    [[nodiscard]] double cellHeight() const { return cellHeight_; }
    [[nodiscard]] double adsCellHeight() const { return adsCellHeight_; }
    [[nodiscard]] double centerViewCenterY() const { return centerViewCenterY_; }
    [[nodiscard]] double lastScrollOffset() const { return lastScrollOffset_; }
    [[nodiscard]] const LoadMoreLimiter& loadMoreLimiter() const { return loadMoreLimiter_; }

    // Table data source and delegate.
    [[nodiscard]] int numberOfRowsInSection(ui::TableView&, int section) override;
    [[nodiscard]] std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(
        ui::TableView&, const ui::IndexPath& indexPath) override;
    [[nodiscard]] std::optional<double> heightForRowAtIndexPath(
        ui::TableView&, const ui::IndexPath& indexPath) override;
    [[nodiscard]] bool shouldHighlightRowAtIndexPath(ui::TableView&,
                                                     const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath) override;
    void scrollViewDidScroll(ui::ScrollView&) override;
    void scrollViewDidEndDecelerating(ui::ScrollView&) override;

private:
    [[nodiscard]] std::shared_ptr<ViewController> self();
    void setupTableView();
    // The first batch of a feed that starts empty: page 1, as a pull.
    void fetchFirstBatch();
    [[nodiscard]] std::shared_ptr<PhotoTableViewCell> makeFeedCell(std::size_t row);
    [[nodiscard]] std::shared_ptr<PhotoTableViewCell> makeCell(double height);
    // A banner row's two steps: a new banner over the row's bounds, shown
    // for this screen, and its request, made off the main thread and
    // loaded on it. What the load gives is not observed.
    [[nodiscard]] std::shared_ptr<ads::DZBannerView> makeBannerView(const gfx::Rect& frame);
    static void loadBannerRequest(const std::shared_ptr<ads::DZBannerView>& banner);
    void loadThumbnail(PhotoTableViewCell& cell, const std::shared_ptr<PhotosObject>& photo);
    void thumbnailDidLoad(const gfx::ImagePtr& image, const std::optional<ui::ImageError>& error,
                          ui::CacheType cacheType, const std::optional<core::URL>& url,
                          const std::shared_ptr<PhotosObject>& photo);
    // The new entries of a response, in the order they join the list.
    [[nodiscard]] PhotoList makeBatch(const core::Value& json, bool isRefresh);
    [[nodiscard]] std::shared_ptr<PhotosObject> makeAdEntry(const PhotosObject& photo) const;
    [[nodiscard]] bool isListed(const std::string& smallUrl) const;
    void endLoadingViews();
    void showFetchError(const std::optional<core::HTTPClientError>& error);

    core::HTTPHeaderList headers_;
    std::shared_ptr<ui::TableView> tableView_;
    PhotoList imageDataSources_;
    double cellHeight_;
    double adsCellHeight_ = kAdsCellHeight;
    double centerViewCenterY_ = 0;
    std::optional<gfx::AffineTransform> cellTransform_;
    std::int64_t photoIndex_ = 0;
    bool hasAppeared_ = false;
    LoadMoreLimiter loadMoreLimiter_;
};

}  // namespace app
