#include "app/vc/WaterfallViewController.h"

#include <unordered_set>

#include "app/services/AlamofireService.h"
#include "app/services/AppConfiguration.h"
#include "app/services/Common.h"
#include "app/services/LocalizableHelper.h"
#include "app/services/UnsplashService.h"
#include "app/vc/PhotoViewController.h"
#include "app/vc/SearchViewController.h"
#include "core/Console.h"
#include "core/Queue.h"
#include "core/StringFormat.h"
#include "ui/DeviceProfile.h"
#include "ui/ImageAsset.h"
#include "ui/NavigationController.h"
#include "ui/RefreshControl.h"

namespace app {

WaterfallViewController::WaterfallViewController(std::string urlString, std::string historyKey)
    : BaseContentViewController(std::move(urlString), std::move(historyKey)),
      headers_(photoServiceHeaders()),
      searchIcon_(ui::Button::create()),
      waterLayout_(std::make_shared<WaterCollectionViewLayout>()) {
    searchIcon_->setBackgroundColor(gfx::Color::black().withAlpha(0.4));
    searchIcon_->setImage(ui::imageNamed("search_L"), ui::ControlState::Normal);
}

std::shared_ptr<WaterfallViewController> WaterfallViewController::self() {
    return std::static_pointer_cast<WaterfallViewController>(shared_from_this());
}

// MARK: view life cycle

void WaterfallViewController::viewDidLoad() {
    setupCollectionView();
    BaseContentViewController::viewDidLoad();
    setupSearchIcon();

    showRefreshing(*collectionView_);
    fetchPhotos(1, true);
}

void WaterfallViewController::setupCollectionView() {
    givePhotosToLayout();
    collectionView_ = std::make_shared<ui::CollectionView>(gfx::Rect(), waterLayout_);
    collectionView_->setContentInsetAdjustmentBehavior(ui::ContentInsetAdjustmentBehavior::Never);
    collectionView_->setContentInset({});
    view()->addSubview(collectionView_);
    collectionView_->registerClass<ui::CollectionViewCell>(kCellIdentifier);
    collectionView_->setBackgroundColor(gfx::Color::black());

    collectionView_->setRefreshControl(refreshController_);
    std::weak_ptr<WaterfallViewController> weakSelf = self();
    refreshController_->addAction(ui::ControlEvent::ValueChanged, [weakSelf](ui::Control&) {
        if (const auto screen = weakSelf.lock()) screen->fetchAction();
    });
    refreshController_->setBackgroundColor(gfx::Color::black());
    refreshController_->setTintColor(gfx::Color::white());

    collectionView_->setDelegate(self());
    collectionView_->setDataSource(self());
    layoutFeedViews();
}

void WaterfallViewController::setupSearchIcon() {
    view()->addSubview(searchIcon_);
    searchIcon_->setCornerRadius(10);
    std::weak_ptr<WaterfallViewController> weakSelf = self();
    searchIcon_->addAction(ui::ControlEvent::TouchUpInside, [weakSelf](ui::Control&) {
        if (const auto screen = weakSelf.lock()) screen->searchIconAction();
    });
    layoutFeedViews();
}

void WaterfallViewController::layoutFeedViews() {
    const gfx::Rect bounds = view()->bounds();
    if (collectionView_) collectionView_->setFrame(bounds);
    searchIcon_->setFrame({bounds.maxX() - kSearchIconRightInset - kSearchIconSize,
                           bounds.maxY() - kSearchIconBottomInset - kSearchIconSize,
                           kSearchIconSize, kSearchIconSize});
}

void WaterfallViewController::viewWillLayoutSubviews() {
    BaseContentViewController::viewWillLayoutSubviews();
    layoutFeedViews();
}

void WaterfallViewController::viewWillAppear(bool animated) {
    BaseContentViewController::viewWillAppear(animated);
    if (const auto navigation = navigationController())
        navigation->setNavigationBarHidden(true, true);
}

void WaterfallViewController::viewWillDisappear(bool animated) {
    BaseContentViewController::viewWillDisappear(animated);
    if (const auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, true);
}

// MARK: actions

void WaterfallViewController::fetchAction() {
    if (isFetching_) return;
    currentPageIndex_ = 1;
    fetchPhotos(1, true);
}

void WaterfallViewController::searchIconAction() {
    pushSearchScreen();
}

void WaterfallViewController::pushSearchScreen() {
    const auto navigation = navigationController();
    if (!navigation) return;
    navigation->setDelegate(self());
    navigation->pushViewController(SearchViewController::create(urlString()), true);
}

void WaterfallViewController::openPhoto(size_t index) {
    if (index >= imageDataSources_.size()) return;
    const auto navigation = navigationController();
    if (!navigation) return;
    auto viewer = std::make_shared<PhotoViewController>();
    viewer->setPo(imageDataSources_[index]);
    navigation->setDelegate(self());
    navigation->pushViewController(viewer, true);
}

void WaterfallViewController::showHistoryPhotos(const PhotoList& photos) {
    imageDataSources_.insert(imageDataSources_.end(), photos.begin(), photos.end());
    reloadCollection();
}

// MARK: fetching

void WaterfallViewController::fetchPhotos(std::int64_t page, bool isRefresh) {
    if (isFetching_) {
        core::Console::log("正在获取 return");
        return;
    }
    if (!isRefresh && !loadMoreLimiter_.allowsLoadMore()) {
        core::Console::log(kLoadMorePausedLine);
        return;
    }
    isFetching_ = true;
    if (isRefresh) loadMoreLimiter_.refreshStarted();

    const core::HTTPParameters parameters{{"page", page}, {"per_page", kPerPage}};
    core::Console::log(core::format(
        "request -->>> %@", core::Value(core::Dictionary{{"page", page}, {"per_page", kPerPage}})));

    std::weak_ptr<WaterfallViewController> weakSelf = self();
    core::HTTPClient::requestJSON(
        AlamofireService::sharedSession(), AppConfiguration::current().photoListURL(), parameters,
        headers_, [weakSelf, page, isRefresh](const core::HTTPResult<core::Value>& result) {
            if (const auto screen = weakSelf.lock())
                screen->handlePhotosResponse(result, page, isRefresh);
        });
}

void WaterfallViewController::handlePhotosResponse(const core::HTTPResult<core::Value>& result,
                                                   std::int64_t page, bool isRefresh) {
    if (!result.value) {
        core::Console::log("fetch error: " +
                           (result.error ? result.error->description() : std::string("nil")));
        isFetching_ = false;
        std::weak_ptr<WaterfallViewController> weakSelf = self();
        core::Queue::main()->async([weakSelf, error = result.error] {
            if (const auto screen = weakSelf.lock()) screen->showFetchError(error);
        });
        return;
    }

    core::Console::log(core::format("%@", *result.value));
    const PhotoList batch = photosFrom(*result.value, isRefresh);
    if (!batch.empty()) takePhotos(batch, page, isRefresh);
    if (!isRefresh) ++currentPageIndex_;
    endFetching();

    if (isRefresh) return;
    const bool requestNext = loadMoreLimiter_.shouldRequestAfterPage(!batch.empty());
    if (!batch.empty()) return;
    if (!requestNext) {
        core::Console::log(
            core::format("连续%d页获取不到数据，停止加载更多", LoadMoreLimiter::kMaxEmptyPages));
        return;
    }
    followEmptyPage();
}

PhotoList WaterfallViewController::photosFrom(const core::Value& json, bool isRefresh) const {
    PhotoList batch;
    const core::Array* elements = json.array();
    if (!elements) return batch;

    std::unordered_set<std::string> listed;
    for (const auto& photo : imageDataSources_) listed.insert(photo->smallUrl);
    for (size_t i = 0; i < elements->size(); ++i) {
        const core::Value& element = (*elements)[i];
        const std::string* small = element["urls"]["small"].string();
        if (!small || small->empty()) {
            core::Console::log("no urls.small, skipping photo " + std::to_string(i));
            continue;
        }
        if (listed.contains(*small)) continue;
        auto photo = PhotosObject::fromJSON(element);
        if (isRefresh)
            batch.insert(batch.begin(), std::move(photo));
        else
            batch.push_back(std::move(photo));
    }
    return batch;
}

void WaterfallViewController::takePhotos(const PhotoList& batch, std::int64_t page,
                                         bool isRefresh) {
    if (page == 1) writeHistory(historyKey(), batch, imageDataSources_, true);
    const auto at = isRefresh ? imageDataSources_.begin() : imageDataSources_.end();
    imageDataSources_.insert(at, batch.begin(), batch.end());
    core::Console::log("request --> begin reloadData!!");
    reloadCollection();
    const double screenHeight = ui::DeviceProfile::current().screenBounds().height();
    autoScroll(lastScrollOffset_ + kScrollNudge * screenHeight);
}

void WaterfallViewController::followEmptyPage() {
    core::Console::log("获取不到数据，尝试获取下一页");
    showLoadingMore();
    fetchPhotos(currentPageIndex_, false);
}

void WaterfallViewController::endFetching() {
    isFetching_ = false;
    hideLoadingViews();
}

void WaterfallViewController::hideLoadingViews() {
    moreView_->removeFromSuperview();
    actIndicatorView_->stopAnimating();
    actIndicatorView_->removeFromSuperview();
    loadingTips_->setHidden(true);
    refreshController_->endRefreshing();
}

void WaterfallViewController::showFetchError(const std::optional<core::HTTPClientError>& error) {
    hideLoadingViews();
    loadingTips_->setText(error ? error->description() : std::string("fetch photo error!"));

    std::weak_ptr<WaterfallViewController> weakSelf = self();
    const auto collection = collectionView_;
    ui::View::animate(
        1.0,
        [collection] {
            collection->setContentOffset({0, 0}, false);
        },
        [weakSelf](bool) {
            if (const auto screen = weakSelf.lock())
                showToast(localized("fetch_photos_error"), screen, 1.5);
        });
}

void WaterfallViewController::givePhotosToLayout() {
    std::weak_ptr<WaterfallViewController> weakSelf = self();
    waterLayout_->setSize = [weakSelf] {
        const auto screen = weakSelf.lock();
        return screen ? screen->imageDataSources_ : PhotoList{};
    };
}

void WaterfallViewController::reloadCollection() {
    if (!collectionView_) return;
    givePhotosToLayout();
    collectionView_->setCollectionViewLayout(waterLayout_);
    collectionView_->reloadData();
}

void WaterfallViewController::autoScroll(double y) {
    core::Console::log("refreshing... autoScrollTableView");
    const std::weak_ptr<ui::CollectionView> weakCollection = collectionView_;
    core::Queue::main()->after(0.2, [weakCollection, y] {
        const auto collection = weakCollection.lock();
        if (!collection) return;
        ui::View::animate(0.5, [&collection, y] { collection->setContentOffset({0, y}, false); });
    });
}

}  // namespace app
