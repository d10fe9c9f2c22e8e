#include "ads/video/DZVideoAssetLoader.h"

#include <algorithm>
#include <cctype>

#include "ads/foundation/DZFileSystem.h"
#include "ads/video/DZVideoConfiguration.h"
#include "ads/web/cache/DZGCacheTargetURL.h"
#include "ads/web/cache/DZResourceCache.h"
#include "core/FileManager.h"
#include "core/StringFormat.h"
#include "core/URLRequest.h"

namespace ads {

namespace {

std::atomic<bool> folderPrepared{false};
std::atomic<long long> nextFileNumber{0};

bool isGCacheSchemeInAnyCase(const core::URL& url) {
    const std::string& scheme = url.scheme();
    return std::equal(
        scheme.begin(), scheme.end(), kDZGCacheURLScheme.begin(), kDZGCacheURLScheme.end(),
        [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// The target of a gcache URL whatever the case of its scheme.
std::optional<core::URL> targetOf(const core::URL& url) {
    if (DZIsGCacheURL(url)) return DZGCacheTargetURL(url);
    const std::string& text = url.absoluteString();
    const auto lowered =
        core::URL::create(std::string(kDZGCacheURLScheme) + text.substr(url.scheme().size()));
    return lowered ? DZGCacheTargetURL(*lowered) : std::nullopt;
}

}  // namespace

std::shared_ptr<DZVideoAssetLoader>
DZVideoAssetLoader::create(const std::optional<core::URL>& videoURL,
                           std::shared_ptr<DZResourceCache> resourceCache,
                           std::shared_ptr<DZVideoConfiguration> videoConfiguration) {
    prepareFolder();
    std::optional<core::URL> url = videoURL;
    if (url && isGCacheSchemeInAnyCase(*url)) url = targetOf(*url);
    if (!videoConfiguration) videoConfiguration = DZVideoConfiguration::create();
    return std::make_shared<DZVideoAssetLoader>(Token{}, std::move(url), std::move(resourceCache),
                                                std::move(videoConfiguration));
}

DZVideoAssetLoader::DZVideoAssetLoader(Token, std::optional<core::URL> videoURL,
                                       std::shared_ptr<DZResourceCache> resourceCache,
                                       std::shared_ptr<DZVideoConfiguration> videoConfiguration)
    : sourceURL_(std::move(videoURL)), mainResourceCache_(std::move(resourceCache)),
      videoConfiguration_(std::move(videoConfiguration)) {}

void DZVideoAssetLoader::prepareFolder() {
    if (folderPrepared.exchange(true)) return;
    const auto folder = DZCacheDirectoryPath(kFolderName, nullptr);
    const auto path = folder ? folder->fileSystemPath() : std::nullopt;
    if (path) (void)core::FileManager::removeItem(*path);
}

void DZVideoAssetLoader::resetForTesting() {
    folderPrepared = false;
    nextFileNumber = 0;
}

DZVideoAssetLoader::Source DZVideoAssetLoader::ownResourceCache() const {
    const std::lock_guard lock(mutex_);
    return {resourceCache_, resourceCacheStartingByteOffset_};
}

std::optional<DZVideoAssetLoader::Source>
DZVideoAssetLoader::getResourceCache(std::int64_t loadingByteOffset, Error* error) {
    const double wait = videoConfiguration_->videoAssetLoaderMaxDownloadWaitTimeInterval();
    if (DZResourceCacheCanServeRange(mainResourceCache_, 0, loadingByteOffset, wait))
        return Source{mainResourceCache_, 0};
    const Source own = ownResourceCache();
    if (DZResourceCacheCanServeRange(own.cache, own.startingByteOffset, loadingByteOffset, wait))
        return own;
    return startDownload(loadingByteOffset, error);
}

std::optional<DZVideoAssetLoader::Source> DZVideoAssetLoader::startDownload(std::int64_t offset,
                                                                            Error* error) {
    if (!sourceURL_ || offset < 0) {
        if (error)
            *error = DZErrorWithCodeDescription(kDZErrorInternalError, "No video URL to load.");
        return std::nullopt;
    }
    core::URLRequest request(*sourceURL_);
    request.setCachePolicy(core::URLRequest::CachePolicy::reloadIgnoringLocalCacheData);
    (void)request.setValue("Range", core::format("bytes=%lld-", static_cast<long long>(offset)));
    const auto folder = DZCacheDirectoryPath(kFolderName, error);
    if (!folder) return std::nullopt;
    const core::URL fileURL =
        folder->appendingPathComponent(core::format(kFileNameFormat, nextFileNumber.fetch_add(1)));
    const auto path = fileURL.fileSystemPath();
    if (!path || !core::FileManager::writeAtomically(*path, std::string_view())) {
        if (error) {
            *error = DZErrorWithCodeDescription(
                kDZErrorInternalError,
                core::format("Fail to create file with empty content at URL %@",
                             fileURL.absoluteString()));
        }
        return std::nullopt;
    }
    auto cache = DZResourceCache::create(std::move(request), fileURL, true);
    cache->setMaxBytes(videoConfiguration_->videoAssetLoaderMaxContentSizeInBytes());
    cache->start();
    const std::lock_guard lock(mutex_);
    resourceCache_ = cache;
    resourceCacheStartingByteOffset_ = offset;
    return Source{std::move(cache), offset};
}

void DZVideoAssetLoader::finishedUsingResourceCache(const std::shared_ptr<DZResourceCache>& cache) {
    if (cache && cache != mainResourceCache_) cache->cancelWithError(std::nullopt);
}

}  // namespace ads
