// ViewController: life cycle, the table, its rows and cells, scrolling.

#include "app/vc/ViewController.h"

#include <cmath>
#include <utility>

#include "ads/core/request/DZRequest.h"
#include "ads/core/request/DZSimulatorID.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "app/AppDelegate.h"
#include "app/services/Common.h"
#include "app/services/UnsplashService.h"
#include "app/utils/PhotosTableViewCell.h"
#include "app/vc/PhotoViewController.h"
#include "core/Console.h"
#include "core/Queue.h"
#include "ui/DeviceProfile.h"
#include "ui/ImageAsset.h"
#include "ui/ImageLoading.h"
#include "ui/NavigationController.h"
#include "ui/RefreshControl.h"

namespace app {

namespace {

constexpr double kCellHeightDivisor = 2.9;
constexpr double kCentredScale = 1.1;
constexpr double kThumbnailFade = 1.0;
constexpr double kAutoScrollDelay = 0.1;
constexpr double kAutoScrollDuration = 0.2;
constexpr double kAppearanceNudge = 0.5;
// The offset at which a scroll has come to rest against the top.
constexpr double kTopRestOffset = -64.0;

gfx::Rect screenBounds() {
    return ui::DeviceProfile::current().screenBounds();
}

// Only http and https URLs are loaded from what the service or the store gave.
std::optional<core::URL> webURL(const std::string& text) {
    auto url = core::URL::create(text);
    if (!url || !url->isHTTPorHTTPS()) return std::nullopt;
    return url;
}

std::string cacheTypeName(ui::CacheType type) {
    switch (type) {
        case ui::CacheType::memory:
            return "memory";
        case ui::CacheType::disk:
            return "disk";
        case ui::CacheType::none:
            break;
    }
    return "none";
}

}  // namespace

ViewController::ViewController(std::string urlString, std::string historyKey)
    : BaseContentViewController(std::move(urlString), std::move(historyKey)),
      headers_(photoServiceHeaders()),
      tableView_(std::make_shared<ui::TableView>()),
      cellHeight_(screenBounds().height() / kCellHeightDivisor) {
    tableView_->setBackgroundColor(gfx::Color::black());
    tableView_->registerClass<PhotoTableViewCell>(kCellIdentifier);
    tableView_->setShowsVerticalScrollIndicator(false);
    tableView_->setShowsHorizontalScrollIndicator(false);
    tableView_->setSeparatorStyle(ui::TableViewSeparatorStyle::None);
    tableView_->setEstimatedRowHeight(0);
    tableView_->setEstimatedSectionHeaderHeight(0);
    tableView_->setEstimatedSectionFooterHeight(0);
}

ViewController::~ViewController() = default;

std::shared_ptr<ViewController> ViewController::self() {
    return std::static_pointer_cast<ViewController>(shared_from_this());
}

void ViewController::viewDidLoad() {
    BaseContentViewController::viewDidLoad();
    setupTableView();
}

void ViewController::setupTableView() {
    const std::shared_ptr<ui::View> root = view();
    tableView_->setFrame(root->bounds());
    root->addSubview(tableView_);
    tableView_->setDelegate(self());
    tableView_->setDataSource(self());
    if (!isFavourites()) {
        std::weak_ptr<ViewController> weakSelf = self();
        refreshController_->addAction(ui::ControlEvent::ValueChanged, [weakSelf](ui::Control&) {
            if (auto strong = weakSelf.lock()) strong->fetchAction();
        });
        refreshController_->setBackgroundColor(gfx::Color::black());
        refreshController_->setTintColor(gfx::Color::white());
        tableView_->setRefreshControl(refreshController_);
    }
    centerViewCenterY_ = root->frame().midY();
}

void ViewController::viewDidLayoutSubviews() {
    BaseContentViewController::viewDidLayoutSubviews();
    if (tableView_->superview() == view()) tableView_->setFrame(view()->bounds());
}

void ViewController::viewWillAppear(bool animated) {
    BaseContentViewController::viewWillAppear(animated);
    if (auto navigation = navigationController()) navigation->setNavigationBarHidden(true, true);
    if (!std::exchange(hasAppeared_, true)) fetchFirstBatch();
    autoScroll(lastScrollOffset_ + kAppearanceNudge);
}

void ViewController::fetchFirstBatch() {
    if (isFavourites() || !imageDataSources_.empty() || isFetching_) return;
    showRefreshing(*tableView_);
    fetchRandomPhotos(1, true);
}

void ViewController::viewWillDisappear(bool animated) {
    BaseContentViewController::viewWillDisappear(animated);
    if (auto navigation = navigationController()) navigation->setNavigationBarHidden(false, true);
}

void ViewController::showHistoryPhotos(const PhotoList& photos) {
    imageDataSources_.insert(imageDataSources_.end(), photos.begin(), photos.end());
    tableView_->reloadData();
}

// MARK: rows

int ViewController::numberOfRowsInSection(ui::TableView&, int) {
    return static_cast<int>(imageDataSources_.size());
}

std::shared_ptr<ui::TableViewCell> ViewController::cellForRowAtIndexPath(
    ui::TableView&, const ui::IndexPath& indexPath) {
    return makeFeedCell(static_cast<std::size_t>(indexPath.row()));
}

std::optional<double> ViewController::heightForRowAtIndexPath(ui::TableView&,
                                                              const ui::IndexPath& indexPath) {
    return rowHeight(static_cast<std::size_t>(indexPath.row()));
}

bool ViewController::shouldHighlightRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath) {
    return photoToOpen(static_cast<std::size_t>(indexPath.row())) != nullptr;
}

void ViewController::didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath) {
    openPhoto(static_cast<std::size_t>(indexPath.row()));
}

double ViewController::rowHeight(std::size_t row) const {
    if (row >= imageDataSources_.size()) return cellHeight_;
    const PhotosObject& entry = *imageDataSources_[row];
    if (entry.isAds) return entry.height > 0 ? static_cast<double>(entry.height) : adsCellHeight_;
    if (entry.width <= 0 || entry.height <= 0) return cellHeight_;
    return screenBounds().width() / static_cast<double>(entry.width) *
           static_cast<double>(entry.height);
}

std::shared_ptr<PhotosObject> ViewController::photoToOpen(std::size_t row) const {
    if (row >= imageDataSources_.size() || imageDataSources_[row]->isAds) return nullptr;
    return imageDataSources_[row];
}

void ViewController::openPhoto(std::size_t row) {
    tableView_->deselectRowAtIndexPath(ui::IndexPath::forRow(static_cast<int>(row), 0), true);
    const auto photo = photoToOpen(row);
    const auto navigation = navigationController();
    if (!photo || !navigation) return;
    auto viewer = std::make_shared<PhotoViewController>();
    const auto cell = std::dynamic_pointer_cast<PhotoTableViewCell>(
        tableView_->cellForRowAtIndexPath(ui::IndexPath::forRow(static_cast<int>(row), 0)));
    if (cell) viewer->setHolderImage(cell->cellImageView()->image());
    viewer->setPo(photo);
    navigation->setDelegate(self());
    navigation->pushViewController(viewer, false);
}

// MARK: cells

std::shared_ptr<PhotoTableViewCell> ViewController::makeCell(double height) {
    auto cell = std::make_shared<PhotoTableViewCell>();
    cell->setFrame(gfx::Rect(0, 0, view()->bounds().width(), height));
    cellTransform_ = cell->transform();
    return cell;
}

std::shared_ptr<PhotoTableViewCell> ViewController::makeFeedCell(std::size_t row) {
    if (row >= imageDataSources_.size()) return makeCell(cellHeight_);
    const std::shared_ptr<PhotosObject>& entry = imageDataSources_[row];
    // A banner row: a new banner and a new request at every display.
    if (entry->isAds) {
        auto cell = makeCell(adsCellHeight_);
        auto banner = makeBannerView(cell->bounds());
        if (!banner) return cell;
        // The cell is its own content view.
        const auto subviews = cell->subviews();
        for (const auto& subview : subviews)
            if (std::dynamic_pointer_cast<ads::DZBannerView>(subview))
                subview->removeFromSuperview();
        cell->addSubview(banner);
        core::Queue::global()->async([banner] { loadBannerRequest(banner); });
        return cell;
    }
    auto cell = makeCell(cellHeight_);
    cell->cellImageView()->setContentMode(gfx::ContentMode::ScaleAspectFit);
    loadThumbnail(*cell, entry);
    return cell;
}

std::shared_ptr<ads::DZBannerView> ViewController::makeBannerView(const gfx::Rect& frame) {
    auto banner = ads::DZBannerView::create();
    if (!banner) return nullptr;
    banner->setFrame(frame);
    banner->setRootViewController(self());
    core::Console::log("##### release mode #####");
    banner->setAdUnitID(std::string(AppDelegate::kAdBannerUnitID));
    return banner;
}

void ViewController::loadBannerRequest(const std::shared_ptr<ads::DZBannerView>& banner) {
    auto request = std::make_shared<ads::DZRequest>();
    request->setTestDevices(core::Array{std::string(ads::kDZSimulatorID)});
    core::Queue::main()->async([banner, request] { banner->loadRequest(request); });
}

void ViewController::loadThumbnail(PhotoTableViewCell& cell,
                                   const std::shared_ptr<PhotosObject>& photo) {
    ui::ImageOptions options;
    options.transition = ui::ImageTransition::fade(kThumbnailFade);
    options.targetPixelSize = ui::screenPixelSize(cell.bounds().size);
    std::weak_ptr<ViewController> weakSelf = self();
    ui::setImage(
        *cell.cellImageView(), webURL(photo->smallUrl), ui::imageNamed("bg_slice"), options,
        [](std::int64_t received, std::int64_t expected) {
            core::Console::log("downloading --> " + std::to_string(received) +
                               ",,,total: " + std::to_string(expected));
        },
        [weakSelf, photo](gfx::ImagePtr image, std::optional<ui::ImageError> error,
                          ui::CacheType cacheType, std::optional<core::URL> url) {
            if (auto strong = weakSelf.lock())
                strong->thumbnailDidLoad(image, error, cacheType, url, photo);
        });
}

void ViewController::thumbnailDidLoad(const gfx::ImagePtr& image,
                                      const std::optional<ui::ImageError>& error,
                                      ui::CacheType cacheType, const std::optional<core::URL>& url,
                                      const std::shared_ptr<PhotosObject>& photo) {
    if (!image) {
        core::Console::log("download image error: " + (error ? error->message : std::string()) +
                           "!!!cacheType:  " + cacheTypeName(cacheType));
        return;
    }
    core::Console::log("download image completion!!");
    const std::string loaded = url ? url->absoluteString() : std::string();
    for (const auto& entry : imageDataSources_) {
        if (entry->smallUrl != loaded) continue;
        entry->isHolder = false;
        entry->smallImage = image;
    }
    if (!photo->downloadLocation.empty())
        UnsplashService::shared().reqDownloadLocation(photo->downloadLocation);
}

// MARK: scrolling

void ViewController::scrollViewDidScroll(ui::ScrollView&) {
    scaleVisibleCells();
}

void ViewController::scrollViewDidEndDecelerating(ui::ScrollView&) {
    loadMoreAtBottom();
}

void ViewController::scaleVisibleCells() {
    const double screenHeight = view()->frame().height();
    const gfx::AffineTransform base = cellTransform_.value_or(gfx::AffineTransform::identity());
    for (const auto& cell : tableView_->visibleCells()) {
        const double top = cell->contentView()->convertPointTo({0, 0}, nullptr).y;
        const double height = cell->frame().height();
        const double distance =
            std::abs((top + 0.5 * height - centerViewCenterY_) / screenHeight * 0.5);
        const double scale = distance >= 1.0 ? 1.0 : (1.0 - distance) * kCentredScale;
        cell->setTransform(base.scaled(scale, scale));
    }
    lastScrollOffset_ = tableView_->contentOffset().y;
    core::Console::log("lastScrollOffset: " + std::to_string(lastScrollOffset_));
}

void ViewController::loadMoreAtBottom() {
    if (isFavourites()) return;
    const double offset = tableView_->contentOffset().y;
    const double distance =
        tableView_->contentSize().height - tableView_->frame().height() - offset;
    if (std::abs(distance) - kLoadMoreDistance < 1.0) {
        core::Console::log("滑动到底部,,, 加载更多");
        if (!loadMoreLimiter_.allowsLoadMore()) {
            core::Console::log(kLoadMorePaused);
            return;
        }
        showLoadingMore();
        fetchRandomPhotos(currentPageIndex_, false);
    } else if (offset == kTopRestOffset) {
        core::Console::log("滑动到顶部");
    }
}

void ViewController::autoScroll(double y) {
    core::Console::log("refreshing... autoScrollTableView");
    std::weak_ptr<ViewController> weakSelf = self();
    core::Queue::main()->after(kAutoScrollDelay, [weakSelf, y] {
        auto strong = weakSelf.lock();
        if (!strong) return;
        ui::View::animate(kAutoScrollDuration, [&] {
            strong->tableView_->setContentOffset({0, y}, false);
        });
    });
}

}  // namespace app
