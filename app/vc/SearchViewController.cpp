#include "app/vc/SearchViewController.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "app/services/AlamofireService.h"
#include "app/services/AppConfiguration.h"
#include "app/services/Common.h"
#include "app/services/LocalizableHelper.h"
#include "app/services/UnsplashService.h"
#include "app/utils/PhotoGridCell.h"
#include "app/vc/PhotoViewController.h"
#include "core/Console.h"
#include "core/JSON.h"
#include "core/Queue.h"
#include "core/UserDefaults.h"
#include "ui/DeviceProfile.h"
#include "ui/NavigationController.h"

namespace app {

namespace {

constexpr const char* kSearchPath = "/search/photos";
constexpr double kAutoScrollDelay = 0.2;
constexpr double kAutoScrollDuration = 0.5;
constexpr double kLoadMoreNudge = 0.05;
constexpr double kToastSeconds = 1.5;
const gfx::Color kBackground{54.0 / 255, 54.0 / 255, 54.0 / 255, 0.9};

std::string jsonText(const core::Value& value) {
    return core::JSON::write(value).value_or("");
}

}  // namespace

std::shared_ptr<SearchViewController> SearchViewController::create(std::string urlString) {
    return std::make_shared<SearchViewController>(std::move(urlString),
                                                  CommonUserDefaultKeys::searchHistory);
}

SearchViewController::SearchViewController(std::string urlString, std::string historyKey)
    : BaseContentViewController(std::move(urlString), std::move(historyKey)),
      headers_(photoServiceHeaders()),
      waterLayout_(std::make_shared<WaterCollectionViewLayout>()) {
    waterLayout_->queueNum = 3;
}

std::shared_ptr<SearchViewController> SearchViewController::self() {
    return std::static_pointer_cast<SearchViewController>(shared_from_this());
}

// MARK: view life cycle

void SearchViewController::viewDidLoad() {
    setupSearchViews();
    restoreSearchKeyword();
    BaseContentViewController::viewDidLoad();
    (void)searchBar_->becomeFirstResponder();
}

void SearchViewController::viewWillAppear(bool animated) {
    BaseContentViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(true, animated);
}

void SearchViewController::viewWillDisappear(bool animated) {
    BaseContentViewController::viewWillDisappear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, animated);
}

void SearchViewController::viewDidLayoutSubviews() {
    BaseContentViewController::viewDidLayoutSubviews();
    layoutSearchViews();
}

void SearchViewController::setupSearchViews() {
    const std::shared_ptr<ui::View> root = view();
    root->setBackgroundColor(kBackground);
    if (searchKeyword_.empty()) {
        loadingTips_->setText("");
        actIndicatorView_->stopAnimating();
        actIndicatorView_->setHidden(true);
    }

    searchBar_ = std::make_shared<ui::SearchBar>();
    searchBar_->setShowsCancelButton(true);
    root->addSubview(searchBar_);
    searchBar_->setDelegate(self());
    searchBar_->setBarStyle(ui::BarStyle::BlackTranslucent);
    if (!searchBar_->subviews().empty()) {
        const auto& container = searchBar_->subviews().front();
        if (!container->subviews().empty()) container->subviews().front()->setAlpha(0);
    }
    searchBar_->setPlaceholder(localized("please_input_keyword"));

    attachLayout();
    collectionView_ = std::make_shared<ui::CollectionView>(gfx::Rect(), waterLayout_);
    collectionView_->setContentInsetAdjustmentBehavior(ui::ContentInsetAdjustmentBehavior::Never);
    collectionView_->setContentInset({});
    root->addSubview(collectionView_);
    collectionView_->registerClass<ui::CollectionViewCell>(kCellIdentifier);
    collectionView_->setBackgroundColor(gfx::Color::black());
    collectionView_->setDelegate(self());
    collectionView_->setDataSource(self());
    layoutSearchViews();
}

void SearchViewController::layoutSearchViews() {
    if (!searchBar_ || !collectionView_) return;
    const gfx::Rect bounds = view()->bounds();
    const double top = view()->safeAreaInsets().top;
    searchBar_->setFrame(gfx::Rect(0, top, bounds.width(), kSearchBarHeight));
    const double gridTop = top + kSearchBarHeight;
    collectionView_->setFrame(
        gfx::Rect(0, gridTop, bounds.width(), std::max(0.0, bounds.height() - gridTop)));
}

void SearchViewController::restoreSearchKeyword() {
    // A search started before the stored keyword arrives keeps its own.
    std::weak_ptr<SearchViewController> weakSelf = self();
    const std::uint64_t search = searchGeneration_;
    core::Queue::global()->async([weakSelf, search] {
        const auto stored =
            core::UserDefaults::standard()->stringForKey(CommonUserDefaultKeys::searchKeyword);
        if (!stored || stored->empty()) return;
        core::Queue::main()->async([weakSelf, search, keyword = *stored] {
            const auto screen = weakSelf.lock();
            if (!screen || screen->searchGeneration_ != search || !screen->searchKeyword_.empty())
                return;
            screen->searchKeyword_ = keyword;
            screen->searchBar_->setText(keyword);
        });
    });
}

// MARK: searching

void SearchViewController::searchBarSearchButtonClicked(ui::SearchBar&) {
    searchFromBar();
}

void SearchViewController::searchBarCancelButtonClicked(ui::SearchBar&) {
    if (auto navigation = navigationController()) navigation->popViewController(true);
}

void SearchViewController::searchFromBar() {
    searchKeyword_ = searchBar_->text();
    currentPageIndex_ = 1;
    searchPhotos(searchKeyword_, 1, true);
    core::UserDefaults::standard()->setString(CommonUserDefaultKeys::searchKeyword, searchKeyword_);
    (void)searchBar_->resignFirstResponder();
    presentSearchingAlert();
}

void SearchViewController::searchPhotos(const std::string& keyword, std::int64_t page,
                                        bool isNewSearch) {
    if (isFetching_ && !isNewSearch) {
        core::Console::log("正在获取 return");
        dismissSearchingAlert();
        return;
    }
    if (isNewSearch) ++searchGeneration_;
    isFetching_ = true;

    const core::HTTPParameters parameters{
        {"query", keyword}, {"page", page}, {"per_page", kPerPage}};
    core::Dictionary printed;
    for (const auto& [name, value] : parameters) printed.set(name, value);
    core::Console::log("request -->>> " + jsonText(printed));
    std::weak_ptr<SearchViewController> weakSelf = self();
    const std::uint64_t search = searchGeneration_;
    core::HTTPClient::requestJSON(
        AlamofireService::sharedSession(), AppConfiguration::current().photoAPIBase + kSearchPath,
        parameters, headers_,
        [weakSelf, search, page, isNewSearch](const core::HTTPResult<core::Value>& result) {
            if (const auto screen = weakSelf.lock())
                screen->handleSearchResponse(result, search, page, isNewSearch);
        });
}

void SearchViewController::handleSearchResponse(const core::HTTPResult<core::Value>& result,
                                                std::uint64_t search, std::int64_t page,
                                                bool isNewSearch) {
    if (search != searchGeneration_) {
        core::Console::log("search answer dropped: a newer search has started (page " +
                           std::to_string(page) + ")");
        return;
    }
    dismissSearchingAlert();
    if (!result.value) {
        core::Console::log("fetch error: " +
                           (result.error ? result.error->description() : std::string("nil")));
        showSearchError(result.error);
        return;
    }

    const core::Value& json = *result.value;
    core::Console::log(jsonText(json["results"]));
    const PhotoList batch = photosFrom(json, isNewSearch);
    if (!batch.empty()) takePhotos(batch, page, isNewSearch);

    endLoading();
    ++currentPageIndex_;
    isFetching_ = false;

    if (!batch.empty()) return;
    core::Console::log("获取不到数据，尝试获取下一页");
    if (page >= kLastEmptyPage) {
        showToastWhenFree(localized("none_search_result"), shared_from_this(), kToastSeconds);
        return;
    }
    showLoadingMore();
}

PhotoList SearchViewController::photosFrom(const core::Value& json, bool isNewSearch) const {
    PhotoList batch;
    const core::Array* results = json["results"].array();
    if (!results) return batch;
    for (size_t i = 0; i < results->size(); ++i) {
        const core::Value& element = (*results)[i];
        const std::string* small = element["urls"]["small"].string();
        if (!small) {
            core::Console::log("no urls.small, skipping result " + std::to_string(i));
            continue;
        }
        const bool listed =
            !isNewSearch &&
            std::any_of(imageDataSources_.begin(), imageDataSources_.end(),
                        [&](const auto& photo) { return photo->smallUrl == *small; });
        if (listed) continue;
        batch.push_back(PhotosObject::fromJSON(element));
    }
    return batch;
}

void SearchViewController::takePhotos(const PhotoList& batch, std::int64_t page, bool isNewSearch) {
    if (page == 1) writeHistory(historyKey(), batch, imageDataSources_, !isNewSearch);
    if (isNewSearch) imageDataSources_.clear();
    imageDataSources_.insert(imageDataSources_.end(), batch.begin(), batch.end());
    core::Console::log("request --> begin reloadData!!");
    reloadGrid();
    const double screenHeight = ui::DeviceProfile::current().screenBounds().height();
    autoScroll(isNewSearch ? 0 : lastScrollOffset_ + kLoadMoreNudge * screenHeight);
}

void SearchViewController::showSearchError(const std::optional<core::HTTPClientError>& error) {
    isFetching_ = false;
    actIndicatorView_->stopAnimating();
    moreView_->removeFromSuperview();
    loadingTips_->setText(error ? error->description() : "fetch photo error!");

    // The label shows over the grid, where the first-run tips stand.
    const std::shared_ptr<ui::View> root = view();
    const gfx::Rect bounds = root->bounds();
    const double top = bounds.midY() + 10 + 30;
    const double height = loadingTips_->sizeThatFits({bounds.width(), 0}).height;
    loadingTips_->setFrame(gfx::Rect(0, top, bounds.width(), height));
    root->addSubview(loadingTips_);
    loadingTips_->setHidden(false);
}

void SearchViewController::endLoading() {
    moreView_->removeFromSuperview();
    actIndicatorView_->stopAnimating();
    actIndicatorView_->removeFromSuperview();
    loadingTips_->setHidden(true);
}

void SearchViewController::attachLayout() {
    std::weak_ptr<SearchViewController> weakSelf = self();
    waterLayout_->setSize = [weakSelf] {
        const auto screen = weakSelf.lock();
        return screen ? screen->imageDataSources_ : PhotoList{};
    };
    if (collectionView_) collectionView_->setCollectionViewLayout(waterLayout_);
}

void SearchViewController::reloadGrid() {
    attachLayout();
    collectionView_->reloadData();
}

void SearchViewController::autoScroll(double y) {
    core::Console::log("refreshing... autoScrollTableView");
    std::weak_ptr<SearchViewController> weakSelf = self();
    const std::uint64_t search = searchGeneration_;
    core::Queue::main()->after(kAutoScrollDelay, [weakSelf, search, y] {
        const auto screen = weakSelf.lock();
        if (!screen || screen->searchGeneration_ != search) return;
        const auto grid = screen->collectionView_;
        ui::View::animate(kAutoScrollDuration, [&] { grid->setContentOffset({0, y}); });
    });
}

// MARK: paging

void SearchViewController::showLoadingMore() {
    BaseContentViewController::showLoadingMore();
    core::Console::log("滑动到底部,,, showFetchMoreView -> " + std::to_string(currentPageIndex_));
    searchPhotos(searchKeyword_, currentPageIndex_, false);
}

void SearchViewController::loadMoreAtBottom() {
    if (isFavourites()) return;
    const double distance = collectionView_->contentSize().height -
                            collectionView_->frame().height() - collectionView_->contentOffset().y;
    if (std::abs(distance) >= 1) return;
    core::Console::log("滑动到底部,,, 加载更多");
    showLoadingMore();
}

void SearchViewController::showHistoryPhotos(const PhotoList& photos) {
    imageDataSources_.insert(imageDataSources_.end(), photos.begin(), photos.end());
    attachLayout();
    std::weak_ptr<SearchViewController> weakSelf = self();
    core::Queue::main()->async([weakSelf] {
        if (const auto screen = weakSelf.lock()) screen->collectionView_->reloadData();
    });
}

// MARK: alerts

void SearchViewController::presentSearchingAlert() {
    // A search started while the alert of another is up keeps that alert.
    if (searchingAlert_ && searchingAlert_->presentingViewController()) return;
    searchingAlert_ = ui::AlertController::create(localized("searching_photos"), "",
                                                  ui::AlertControllerStyle::Alert);
    presentViewController(searchingAlert_, true);
}

void SearchViewController::dismissSearchingAlert() {
    const auto alert = std::exchange(searchingAlert_, nullptr);
    if (!alert || !alert->presentingViewController()) return;
    alert->dismissViewController(true);
}

// MARK: grid

int SearchViewController::numberOfItemsInSection(ui::CollectionView&, int) {
    return static_cast<int>(imageDataSources_.size());
}

std::shared_ptr<ui::CollectionViewCell> SearchViewController::cellForItemAtIndexPath(
    ui::CollectionView& view, const ui::IndexPath& indexPath) {
    auto cell = view.dequeueReusableCell(kCellIdentifier, indexPath);
    const auto row = static_cast<size_t>(indexPath.row());
    if (imageDataSources_.empty() || row >= imageDataSources_.size()) return cell;

    const std::shared_ptr<PhotosObject> photo = imageDataSources_[row];
    std::weak_ptr<SearchViewController> weakSelf = self();
    PhotoGridCell::fill(
        view, *cell, indexPath, *photo,
        [weakSelf, row, photo](gfx::ImagePtr image, std::optional<ui::ImageError> error,
                               ui::CacheType cacheType, std::optional<core::URL> url) {
            if (const auto screen = weakSelf.lock()) {
                PhotoGridCell::thumbnailLoaded(screen->imageDataSources_, image, error, cacheType,
                                               url, row, *photo);
            }
        });
    return cell;
}

void SearchViewController::didSelectItemAtIndexPath(ui::CollectionView&,
                                                    const ui::IndexPath& indexPath) {
    openPhoto(static_cast<size_t>(indexPath.row()));
}

void SearchViewController::openPhoto(size_t index) {
    if (index >= imageDataSources_.size()) return;
    const auto navigation = navigationController();
    if (!navigation) return;
    auto viewer = std::make_shared<PhotoViewController>();
    viewer->setPo(imageDataSources_[index]);
    navigation->pushViewController(viewer, true);
}

// MARK: scrolling

void SearchViewController::scrollViewDidScroll(ui::ScrollView& scrollView) {
    lastScrollOffset_ = scrollView.contentOffset().y;
}

void SearchViewController::scrollViewWillBeginDragging(ui::ScrollView&) {
    (void)searchBar_->resignFirstResponder();
}

void SearchViewController::scrollViewDidEndDecelerating(ui::ScrollView&) {
    loadMoreAtBottom();
}

}  // namespace app
