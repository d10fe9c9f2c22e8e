#include "ads/video/DZVideoLoader.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "ads/video/DZAssetLoadingVideoPlayerItem.h"
#include "ads/video/DZVideoAssetLoader.h"
#include "ads/video/DZVideoConfiguration.h"
#include "ads/video/DZVideoPlayer.h"
#include "ads/video/DZVideoResourceLoading.h"
#include "ads/web/cache/DZGCacheTargetURL.h"
#include "ads/web/cache/DZGCacheURLLoader.h"
#include "ads/web/cache/DZResourceCache.h"
#include "core/Queue.h"
#include "core/StringFormat.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

Error cancelledError() {
    return DZErrorWithCodeDescription(kDZErrorInternalError, DZVideoLoader::kCancelledMessage);
}

// The file path as a URL path: bytes outside the unreserved set and "/"
// percent-escaped.
std::string escapedPath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            escaped += c;
        } else {
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 15];
        }
    }
    return escaped;
}

std::int64_t saturatingSum(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<std::int64_t>::max() : sum;
}

}  // namespace

std::shared_ptr<DZVideoLoader> DZVideoLoader::create(std::weak_ptr<DZVideoPlayer> player) {
    return std::make_shared<DZVideoLoader>(Token{}, std::move(player));
}

DZVideoLoader::DZVideoLoader(Token, std::weak_ptr<DZVideoPlayer> player)
    : player_(std::move(player)) {}

DZVideoLoader::~DZVideoLoader() {
    cancel();
}

std::shared_ptr<DZResourceCache> DZVideoLoader::resourceCache() const {
    const std::lock_guard lock(mutex_);
    return resourceCache_;
}

size_t DZVideoLoader::pendingRequestCount() const {
    const std::lock_guard lock(mutex_);
    return pendingRequests_.size();
}

// The ways.

void DZVideoLoader::loadURL(const std::optional<core::URL>& url,
                            const std::shared_ptr<DZResourceCache>& resourceCache,
                            const std::shared_ptr<DZVideoConfiguration>& configuration) {
    if (hasBeenUsed_) {
        announceFailure(DZErrorWithCodeDescription(kDZErrorInternalError, kAlreadyUsedMessage));
        return;
    }
    hasBeenUsed_ = true;
    sourceURL_ = url;
    configuration_ = configuration;
    if (resourceCache) {
        loadWithAdvanceControl(url, resourceCache);
    } else if (url && DZIsGCacheURL(*url)) {
        loadGCache();
    } else {
        loadStandard();
    }
}

void DZVideoLoader::loadStandard() {
    if (sourceURL_ && configuration_ && configuration_->enableAdvanceBufferingControl()) {
        const auto assetLoader = DZVideoAssetLoader::create(sourceURL_, nullptr, configuration_);
        assetLoadingPlayerItem_ =
            DZAssetLoadingVideoPlayerItem::create(sourceURL_, assetLoader, configuration_);
        assetLoadingPlayerItem_->setPlayer(player());
        playerItem_ = assetLoadingPlayerItem_->playerItem();
    } else if (sourceURL_) {
        playerItem_ = media::PlayerItem::create(*sourceURL_);
    }
    announceStart();
}

void DZVideoLoader::loadGCache() {
    const bool advanceControl =
        core::UserDefaults::standard()->boolForKey(kGCacheAdvanceControlKey);
    gcacheURLLoader_ = std::make_shared<DZGCacheURLLoader>();
    gcacheURLLoader_->loadGCacheURL(
        *sourceURL_, [weak = weak_from_this(),
                      advanceControl](const core::URL& url, std::shared_ptr<DZResourceCache> cache,
                                      std::optional<Error> error) {
            const auto self = weak.lock();
            if (!self || self->cancelled_) return;
            if (!cache || error) {
                self->announceFailure(error.value_or(DZErrorWithCode(kDZErrorInternalError)));
                return;
            }
            if (advanceControl) {
                self->loadWithAdvanceControl(DZGCacheTargetURL(url), cache);
            } else {
                self->loadWithResourceCache(cache);
            }
        });
}

void DZVideoLoader::loadWithAdvanceControl(const std::optional<core::URL>& url,
                                           const std::shared_ptr<DZResourceCache>& resourceCache) {
    const auto assetLoader = DZVideoAssetLoader::create(url, resourceCache, configuration_);
    assetLoadingPlayerItem_ =
        DZAssetLoadingVideoPlayerItem::create(sourceURL_, assetLoader, configuration_);
    assetLoadingPlayerItem_->setPlayer(player());
    playerItem_ = assetLoadingPlayerItem_->playerItem();
    announceStart();
}

void DZVideoLoader::loadWithResourceCache(const std::shared_ptr<DZResourceCache>& resourceCache) {
    {
        const std::lock_guard lock(mutex_);
        pendingRequests_.clear();
        resourceCache_ = resourceCache;
    }
    const auto path = resourceCache->fileURL().fileSystemPath();
    const auto streamURL =
        path ? core::URL::create(core::format("%@://%@", kStreamScheme, escapedPath(*path)))
             : std::nullopt;
    if (!streamURL) {
        announceFailure(DZErrorWithCodeDescription(
            kDZErrorInternalError,
            core::format("Cannot stream the file %@", resourceCache->fileURL().absoluteString())));
        return;
    }
    const auto asset = media::URLAsset::create(*streamURL);
    {
        const std::lock_guard lock(mutex_);
        cachedResourceAsset_ = asset;
    }
    asset->resourceLoader()->setDelegate(weak_from_this(),
                                         core::Queue::global(core::Queue::Priority::UserInitiated));
    playerItem_ = media::PlayerItem::create(asset);
    announceStart();
}

// Announcements.

void DZVideoLoader::announceStart() {
    if (hasNotifiedVideoLoadingStarted_) return;
    const auto notify = [weak = weak_from_this()] {
        const auto self = weak.lock();
        if (!self || self->cancelled_) return;
        if (const auto delegate = self->delegate())
            delegate->videoLoaderDidStartLoadingURL(*self, self->sourceURL_);
    };
    if (!playerItem_) {
        notify();
        return;
    }
    hasNotifiedVideoLoadingStarted_ = true;
    playerItem_->asset()->loadValuesAsynchronously(
        {"duration"}, [notify] { core::Queue::main()->async(notify); });
}

void DZVideoLoader::announceFailure(const Error& error) {
    if (hasNotifiedVideoLoadingFailed_.exchange(true)) return;
    core::Queue::main()->async([weak = weak_from_this(), error] {
        const auto self = weak.lock();
        if (!self || self->cancelled_) return;
        if (const auto delegate = self->delegate())
            delegate->videoLoaderDidFailToLoadURL(*self, self->sourceURL_, error);
    });
}

void DZVideoLoader::cancel() {
    cancelled_ = true;
    {
        const std::lock_guard lock(mutex_);
        stop();
    }
    gcacheURLLoader_.reset();
}

// "dz-stream".

bool DZVideoLoader::shouldWaitForLoadingOfRequestedResource(media::AssetResourceLoader&,
                                                            const Request& request) {
    if (!request->url().hasScheme(kStreamScheme)) return false;
    const std::lock_guard lock(mutex_);
    if (cancelled_ || !resourceCache_) {
        request->finishLoadingWithError(DZMediaErrorFromError(cancelledError()));
        return true;
    }
    Error error;
    switch (serve(request, error)) {
    case Served::complete:
        request->finishLoading();
        break;
    case Served::failed:
        failStream(request, error);
        break;
    case Served::pending:
        pendingRequests_.push_back(request);
        observeResourceCache();
        break;
    }
    return true;
}

void DZVideoLoader::didCancelLoadingRequest(media::AssetResourceLoader&, const Request& request) {
    const std::lock_guard lock(mutex_);
    std::erase(pendingRequests_, request);
    if (pendingRequests_.empty()) stopObservingResourceCache();
}

DZVideoLoader::Served DZVideoLoader::serve(const Request& request, Error& error) {
    const auto& cache = *resourceCache_;
    // A finished download gives nothing more: what a request has then is
    // all it gets.
    const bool ended = cache.completed();
    bool complete = true;
    if (request->contentInformationRequest()) {
        if (cache.responseHeadersReceived() || ended) {
            DZFillContentInformation(*request, cache);
        } else {
            complete = false;
        }
    }
    if (auto* data = request->dataRequest()) {
        const std::int64_t start =
            data->currentOffset() != 0 ? data->currentOffset() : data->requestedOffset();
        const std::int64_t end = saturatingSum(data->requestedOffset(), data->requestedLength());
        const std::int64_t cached = cache.cachedContentSize();
        std::int64_t read = 0;
        if (cached > start && end > start) {
            // Never past the requested range.
            const std::int64_t length = std::min(end - start, cached - start);
            Error readError;
            const auto bytes = cache.dataWithRange(static_cast<std::uint64_t>(start),
                                                   static_cast<std::uint64_t>(length), &readError);
            if (!bytes && !readError.domain.empty()) {
                error = readError;
                return Served::failed;
            }
            if (bytes && !bytes->empty()) {
                data->respondWithData(
                    std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
                read = static_cast<std::int64_t>(bytes->size());
            }
        }
        complete = complete && start + read >= end;
    }
    return complete || ended ? Served::complete : Served::pending;
}

void DZVideoLoader::observeResourceCache() {
    if (isObservingResourceCache_ || !resourceCache_) return;
    isObservingResourceCache_ = true;
    // Observing before asking whether the download ended leaves no gap for
    // its last update to fall into.
    cacheToken_ = core::NotificationCenter::defaultCenter().addObserver(
        std::string(kDZResourceCacheDidUpdateCacheNotification), resourceCache_.get(), nullptr,
        [weak = weak_from_this()](const core::Notification&) {
            const auto self = weak.lock();
            if (!self) return;
            const std::lock_guard lock(self->mutex_);
            self->processPendingRequests();
        });
    if (resourceCache_->completed()) processPendingRequests();
}

void DZVideoLoader::stopObservingResourceCache() {
    if (!isObservingResourceCache_) return;
    isObservingResourceCache_ = false;
    core::NotificationCenter::defaultCenter().removeObserver(cacheToken_);
    cacheToken_ = {};
}

void DZVideoLoader::processPendingRequests() {
    if (!resourceCache_) return;
    const auto pending = pendingRequests_;
    for (const auto& request : pending) {
        Error error;
        const Served served = serve(request, error);
        if (served == Served::failed) {
            failStream(request, error);
            return;
        }
        if (served == Served::complete) {
            std::erase(pendingRequests_, request);
            request->finishLoading();
        }
    }
    if (pendingRequests_.empty()) stopObservingResourceCache();
}

void DZVideoLoader::failStream(const Request& request, const Error& error) {
    std::erase(pendingRequests_, request);
    request->finishLoadingWithError(DZMediaErrorFromError(error));
    stop();
    announceFailure(error);
}

void DZVideoLoader::stop() {
    stopObservingResourceCache();
    if (cachedResourceAsset_) cachedResourceAsset_->resourceLoader()->setDelegate({}, nullptr);
    const auto pending = std::exchange(pendingRequests_, {});
    for (const auto& request : pending)
        request->finishLoadingWithError(DZMediaErrorFromError(cancelledError()));
}

}  // namespace ads
