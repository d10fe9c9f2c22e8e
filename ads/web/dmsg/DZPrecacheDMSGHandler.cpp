#include "ads/web/dmsg/DZPrecacheDMSGHandler.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "ads/foundation/DZFileSystem.h"
#include "ads/foundation/DZHTTPRequest.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/video/DZVideoConfiguration.h"
#include "ads/web/cache/DZResourceCache.h"
#include "ads/web/view/DZAdView.h"
#include "core/FileManager.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

constexpr std::string_view kProgress = "precacheProgress";
constexpr std::string_view kComplete = "precacheComplete";
constexpr std::string_view kCanceled = "precacheCanceled";

std::atomic<std::uint32_t> fileCounter{0};

// The files of earlier runs go once per process.
void removeEarlierFiles() {
    static std::once_flag once;
    std::call_once(once, [] {
        const auto folder = DZCacheDirectoryPath(DZPrecacheDMSGHandler::kFolderName, nullptr);
        if (const auto path = folder ? folder->fileSystemPath() : std::nullopt)
            (void)core::FileManager::removeItem(*path);
    });
}

std::string absoluteText(const std::optional<core::URL>& url) {
    return url ? url->absoluteString() : std::string();
}

}  // namespace

DZPrecacheDMSGHandler::DZPrecacheDMSGHandler() {
    removeEarlierFiles();
}

void DZPrecacheDMSGHandler::adViewDidReceivePrecacheNotification(
    const std::shared_ptr<DZAdView>& adView, const core::Dictionary& parameters) {
    if (!adView_.lock()) adView_ = adView;
    const core::Value* src = parameters.find("src");
    std::optional<core::URL> source;
    if (src && src->isString()) source = core::URL::create(*src->string());
    const bool acceptedSource = source && source->isHTTPorHTTPS();
    // A running download keeps its source until it is aborted.
    if (acceptedSource && !hasStartedPreloading_) sourceURL_ = source;
    videoConfiguration_ = DZVideoConfiguration::create(parameters);
    byteThresholdToNotify_ = DZIntegerValue<std::int64_t>(parameters["notifyBytes"]).value_or(0);
    if (parameters.contains("abort")) {
        abort();
    } else if (acceptedSource) {
        preload();
    }
}

void DZPrecacheDMSGHandler::preload() {
    if (!sourceURL_ || hasStartedPreloading_) return;
    const auto request = DZMakeURLRequest(sourceURL_, std::nullopt, std::nullopt, std::nullopt);
    const auto folder = DZCacheDirectoryPath(kFolderName, nullptr);
    const auto folderPath = folder ? folder->fileSystemPath() : std::nullopt;
    if (!request || !folderPath) {
        abort();
        return;
    }
    const std::uint32_t number = fileCounter.fetch_add(1);
    const std::string path = *folderPath + core::format("/precache_%u.cache", number);
    if (!core::FileManager::writeAtomically(path, std::string_view())) {
        abort();
        return;
    }
    hasNotifiedAtByteThreshold_ = false;
    hasStartedPreloading_ = true;
    resourceCache_ = DZResourceCache::create(*request, core::URL::fileURL(path), true);
    resourceCache_->setDelegate(weak_from_this());
    resourceCache_->setMaxBytes(videoConfiguration_ ? videoConfiguration_->precacheMaxBufferBytes()
                                                    : -1);
    resourceCache_->start();
}

void DZPrecacheDMSGHandler::abort() {
    const std::int64_t bytes = lastBytesAfterCleanUp();
    dispatchPrecacheEventWithBytesLoaded(static_cast<std::uint64_t>(std::max<std::int64_t>(bytes, 0)),
                                         resourceCache_ ? resourceCache_->contentLength() : 0,
                                         kCanceled);
}

std::int64_t DZPrecacheDMSGHandler::lastBytesAfterCleanUp() {
    std::int64_t bytes = 0;
    if (resourceCache_) {
        bytes = resourceCache_->cachedContentSize();
        resourceCache_->setDelegate({});
        resourceCache_->cancelWithError(
            DZErrorWithCodeDescription(kDZErrorInternalError, "Precache cleanup."));
        if (const auto path = resourceCache_->fileURL().fileSystemPath())
            (void)core::FileManager::removeItem(*path);
    }
    hasStartedPreloading_ = false;
    return bytes;
}

void DZPrecacheDMSGHandler::dispatchPrecacheEventWithBytesLoaded(std::uint64_t bytesLoaded,
                                                                 std::int64_t totalBytes,
                                                                 std::string_view event) {
    const auto adView = adView_.lock();
    if (!adView) return;
    core::Dictionary userInfo{
        {"bytesLoaded", core::Value(static_cast<unsigned long long>(bytesLoaded))},
        {"totalBytes", totalBytes},
        {"event", std::string(event)},
        {"src", absoluteText(sourceURL_)},
        {"cachedSrc", resourceCache_ ? resourceCache_->fileURL().absoluteString() : std::string()},
    };
    adView->postJSNotification("onPrecacheEvent", core::Value(std::move(userInfo)));
}

void DZPrecacheDMSGHandler::dispatchEventOf(const std::shared_ptr<DZResourceCache>& cache,
                                            std::string_view event) {
    // A download cleaned up or replaced meanwhile has nothing more to say.
    if (!cache || cache != resourceCache_ || !hasStartedPreloading_) return;
    const std::int64_t loaded = cache->cachedContentSize();
    dispatchPrecacheEventWithBytesLoaded(static_cast<std::uint64_t>(std::max<std::int64_t>(loaded, 0)),
                                         cache->contentLength(), event);
}

void DZPrecacheDMSGHandler::resourceCacheDidReceiveResponse(
    const std::shared_ptr<DZResourceCache>& cache) {
    dispatchEventOf(cache, kProgress);
}

void DZPrecacheDMSGHandler::resourceCacheDidReceiveData(
    const std::shared_ptr<DZResourceCache>& cache) {
    if (byteThresholdToNotify_ <= 0) {
        dispatchEventOf(cache, kProgress);
        return;
    }
    if (hasNotifiedAtByteThreshold_ || cache != resourceCache_) return;
    if (cache->cachedContentSize() < byteThresholdToNotify_) return;
    hasNotifiedAtByteThreshold_ = true;
    dispatchEventOf(cache, kProgress);
}

void DZPrecacheDMSGHandler::resourceCacheDidSucceedCaching(
    const std::shared_ptr<DZResourceCache>& cache) {
    dispatchEventOf(cache, kComplete);
}

void DZPrecacheDMSGHandler::resourceCacheDidFailCachingWithError(
    const std::shared_ptr<DZResourceCache>& cache, const Error&) {
    dispatchEventOf(cache, kCanceled);
}

}  // namespace ads
