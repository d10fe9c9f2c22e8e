// ViewController: requests, the batches they bring, failures, favourites.

#include "app/services/AlamofireService.h"
#include "app/services/AppConfiguration.h"
#include "app/services/Common.h"
#include "app/services/LocalizableHelper.h"
#include "app/vc/ViewController.h"
#include "core/Console.h"
#include "core/Queue.h"
#include "core/StringFormat.h"
#include "core/UserDefaults.h"
#include "ui/DeviceProfile.h"

namespace app {

namespace {

constexpr double kBatchScrollShare = 0.2;
constexpr double kErrorScrollDuration = 1.0;
constexpr double kToastSeconds = 1.5;

// Every field a photo row needs, with the type the service gives it.
bool isCompletePhoto(const core::Value& element) {
    for (const core::Value* text :
         {&element["urls"]["full"], &element["user"]["name"],
          &element["user"]["profile_image"]["medium"], &element["user"]["links"]["html"],
          &element["links"]["download_location"]}) {
        if (!text->isString()) return false;
    }
    return element["width"].isInteger() && element["height"].isInteger();
}

// A favourite is a plain photo: no placeholder image, no download tracking.
std::shared_ptr<PhotosObject> favouriteFromRecord(const core::Value& record) {
    auto photo = PhotosObject::fromRecord(record);
    if (!photo || photo->isAds) return nullptr;
    photo->isHolder = false;
    photo->smallImage = nullptr;
    photo->downloadLocation.clear();
    return photo;
}

}  // namespace

void ViewController::fetchAction() {
    if (!isFetching_) fetchRandomPhotos(1, true);
}

void ViewController::fetchRandomPhotos(std::int64_t page, bool isRefresh) {
    if (isFetching_) {
        core::Console::log("正在获取 return");
        return;
    }
    if (!isRefresh && !loadMoreLimiter_.allowsLoadMore()) {
        core::Console::log(kLoadMorePaused);
        return;
    }
    isFetching_ = true;
    if (isRefresh) loadMoreLimiter_.refreshStarted();
    const core::HTTPParameters parameters{{"featured", 1}, {"count", kPhotosPerRequest}};
    core::Console::log(
        core::format("request -->>> %@",
                     core::Value(core::Dictionary{{"featured", 1}, {"count", kPhotosPerRequest}})));

    std::weak_ptr<ViewController> weakSelf = self();
    core::HTTPClient::requestJSON(
        AlamofireService::sharedSession(),
        AppConfiguration::current().photoAPIBase + "/photos/random", parameters, headers_,
        [weakSelf, isRefresh, page](const core::HTTPResult<core::Value>& result) {
            if (auto strong = weakSelf.lock())
                strong->handleRandomPhotosResponse(result, isRefresh, page);
        });
}

void ViewController::handleRandomPhotosResponse(const core::HTTPResult<core::Value>& result,
                                                bool isRefresh, std::int64_t page) {
    if (!result.value) {
        core::Console::log("fetch error: " + (result.error ? result.error->description() : ""));
        isFetching_ = false;
        std::weak_ptr<ViewController> weakSelf = self();
        core::Queue::main()->async([weakSelf, error = result.error] {
            if (auto strong = weakSelf.lock()) strong->showFetchError(error);
        });
        return;
    }

    const PhotoList batch = makeBatch(*result.value, isRefresh);
    if (!batch.empty()) {
        if (page == 1) writeHistory(historyKey(), batch, imageDataSources_, true);
        imageDataSources_.insert(isRefresh ? imageDataSources_.begin() : imageDataSources_.end(),
                                 batch.begin(), batch.end());
        tableView_->reloadData();
        core::Console::log("lastScrollOffset 获取后: " + std::to_string(lastScrollOffset_));
        autoScroll(lastScrollOffset_ +
                   kBatchScrollShare * ui::DeviceProfile::current().screenBounds().height());
    }
    endLoadingViews();
    if (!isRefresh) ++currentPageIndex_;
    isFetching_ = false;
    if (isRefresh) return;

    if (!loadMoreLimiter_.shouldRequestAfterPage(!batch.empty())) {
        if (batch.empty())
            core::Console::log(core::format("连续%d页获取不到数据，停止加载更多",
                                            LoadMoreLimiter::kMaxEmptyPages));
        return;
    }
    core::Console::log("获取不到数据，尝试获取下一页");
    showLoadingMore();
    fetchRandomPhotos(currentPageIndex_, false);
}

PhotoList ViewController::makeBatch(const core::Value& json, bool isRefresh) {
    PhotoList batch;
    const core::Array* elements = json.array();
    if (!elements) return batch;
    for (const core::Value& element : *elements) {
        const core::Value& small = element["urls"]["small"];
        if (!small.isString() || small.string()->empty()) {
            core::Console::log("找不到links");
            continue;
        }
        if (isListed(*small.string())) continue;
        if (!isCompletePhoto(element)) {
            core::Console::log("incomplete photo skipped: " + *small.string());
            continue;
        }
        auto photo = PhotosObject::fromJSON(element);
        batch.insert(isRefresh ? batch.begin() : batch.end(), photo);
        if (photoIndex_ > 0 && photoIndex_ % kAdInterval == 0) batch.push_back(makeAdEntry(*photo));
        ++photoIndex_;
    }
    return batch;
}

std::shared_ptr<PhotosObject> ViewController::makeAdEntry(const PhotosObject& photo) const {
    auto ad = std::make_shared<PhotosObject>();
    ad->width = photo.width;
    ad->height = static_cast<std::int64_t>(adsCellHeight_);
    ad->isAds = true;
    return ad;
}

bool ViewController::isListed(const std::string& smallUrl) const {
    for (const auto& entry : imageDataSources_)
        if (entry->smallUrl == smallUrl) return true;
    return false;
}

void ViewController::endLoadingViews() {
    moreView_->removeFromSuperview();
    actIndicatorView_->stopAnimating();
    actIndicatorView_->removeFromSuperview();
    loadingTips_->setHidden(true);
    refreshController_->endRefreshing();
}

void ViewController::showFetchError(const std::optional<core::HTTPClientError>& error) {
    endLoadingViews();
    loadingTips_->setText(error ? error->description() : "fetch photo error!");
    std::weak_ptr<ViewController> weakSelf = self();
    ui::View::animate(
        kErrorScrollDuration,
        [&] {
            tableView_->setContentOffset({0, 0}, false);
        },
        [weakSelf](bool) {
            if (auto strong = weakSelf.lock())
                showToast(localized("fetch_photos_error"), strong, kToastSeconds);
        });
}

void ViewController::loadCollectedPhotos() {
    const core::Value stored =
        core::UserDefaults::standard()->objectForKey(CommonUserDefaultKeys::userCollectPhotos);
    const core::Array* records = stored.array();
    imageDataSources_.clear();
    if (records && !records->empty()) {
        core::Console::log("加载历史urls");
        for (const core::Value& record : *records)
            if (auto photo = favouriteFromRecord(record)) imageDataSources_.push_back(photo);
    }
    tableView_->reloadData();
}

}  // namespace app
