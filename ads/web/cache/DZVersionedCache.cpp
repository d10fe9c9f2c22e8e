#include "ads/web/cache/DZVersionedCache.h"

#include "ads/foundation/DZHashing.h"
#include "ads/foundation/DZThreading.h"
#include "ads/web/cache/DZResourceCache.h"
#include "core/FileHandle.h"
#include "core/FileManager.h"
#include "core/StringFormat.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

Error cacheError(const char* message) {
    return DZErrorWithCodeDescription(kDZErrorInternalError, message);
}

std::optional<std::string> existingPath(const std::optional<core::URL>& url) {
    const auto path = url ? url->fileSystemPath() : std::nullopt;
    if (!path || !core::FileManager::fileExists(*path)) return std::nullopt;
    return path;
}

}  // namespace

std::shared_ptr<DZVersionedCache> DZVersionedCache::create(std::string_view name) {
    if (name.empty()) return nullptr;
    auto cache = std::make_shared<DZVersionedCache>(Private{}, DZStringHashHex(name));
    cache->load(name);
    return cache;
}

DZVersionedCache::DZVersionedCache(Private, std::string cacheID)
    : cacheID_(std::move(cacheID)),
      userDefaultsKey_(core::format("%@:%@", kUserDefaultsKeyPrefix, cacheID_)),
      lockQueue_(DZCreateQueueWithQoS(DZQueueLabel("versioned-cache"), DZQoSUtility)) {}

void DZVersionedCache::removeStoredCache(std::string_view name) {
    const auto cache = create(name);
    if (!cache) return;
    if (const auto path = existingPath(cache->cacheURL())) {
        (void)core::FileManager::removeItem(*path);
    }
    core::UserDefaults::standard()->removeObjectForKey(cache->userDefaultsKey());
    if (const auto earlier = earlierStorePath(name)) (void)core::FileManager::removeItem(*earlier);
}

std::optional<core::Data> DZVersionedCache::readStoredFile(const std::string& path) {
    auto handle = core::FileHandle::openForReading(path);
    if (!handle) return std::nullopt;
    core::FileHandle file = std::move(handle).value();
    // One byte more than allowed tells a file at the limit from a larger one.
    auto bytes = file.read(kMaximumFileBytes + 1);
    if (!bytes || bytes.value().size() > kMaximumFileBytes) return std::nullopt;
    return std::move(bytes).value();
}

// Not shared yet: no queue is needed to fill it in.
void DZVersionedCache::load(std::string_view name) {
    const auto record = core::UserDefaults::standard()->dictionaryForKey(userDefaultsKey_);
    if (!record) {
        (void)takeOverEarlierStore(name);
        return;
    }
    const std::string* urlText = (*record)["url"].string();
    const auto url = urlText ? core::URL::create(*urlText) : std::nullopt;
    const auto path = existingPath(url);
    if (!path) return;
    auto contents = readStoredFile(*path);
    if (!contents) return;
    cacheData_ = std::move(*contents);
    cacheURL_ = url;
    const std::string* version = (*record)["version"].string();
    version_ = version ? std::optional(*version) : std::nullopt;
}

std::optional<core::Data> DZVersionedCache::cacheData() const {
    std::optional<core::Data> data;
    lockQueue_->sync([&] { data = cacheData_; });
    return data;
}

std::optional<std::string> DZVersionedCache::version() const {
    std::optional<std::string> version;
    lockQueue_->sync([&] { version = version_; });
    return version;
}

std::optional<core::URL> DZVersionedCache::cacheURL() const {
    std::optional<core::URL> url;
    lockQueue_->sync([&] { url = cacheURL_; });
    return url;
}

void DZVersionedCache::updateWithURL(const core::URL& url, const std::string& version,
                                     Completion completion) {
    if (version == this->version()) {
        executeCompletionBlock(completion, cacheError("Cache version hasn't changed."));
        return;
    }
    if (!url.isHTTPorHTTPS()) {
        executeCompletionBlock(completion, cacheError("Invalid cache URL."));
        return;
    }
    std::optional<Error> outcome;
    std::shared_ptr<DZResourceCache> started;
    lockQueue_->sync([&] {
        if (loading_) {
            outcome = cacheError("A cache update is already on progress.");
            return;
        }
        resetState();
        Error error;
        auto cache = DZResourceCache::createWithCacheID(
            core::URLRequest(url), core::format("%@.%@", cacheID_, version), &error);
        if (!cache) {
            outcome = error.domain.empty()
                          ? cacheError("Failed to create resourcecache object for updating "
                                       "versioned cache.")
                          : error;
            return;
        }
        loading_ = true;
        completionBlock_ = completion;
        newVersion_ = version;
        cache->setDelegate(weak_from_this());
        resourceCache_ = cache;
        started = std::move(cache);
    });
    if (outcome) {
        executeCompletionBlock(completion, std::move(outcome));
        return;
    }
    started->start();
}

void DZVersionedCache::resourceCacheDidSucceedCaching(
    const std::shared_ptr<DZResourceCache>& cache) {
    const auto path = cache->fileURL().fileSystemPath();
    const auto size = path ? core::FileManager::fileSize(*path)
                           : core::FileResult<std::uint64_t>::failure("no path");
    if (size && size.value() > kMaximumFileBytes) {
        if (cache->fileURL() != cacheURL()) (void)core::FileManager::removeItem(*path);
        resetStateAndNotifyCompletionBlockWithError(cacheError("Downloaded file is too large."));
        return;
    }
    auto contents = path ? readStoredFile(*path) : std::nullopt;
    if (!contents) {
        resetStateAndNotifyCompletionBlockWithError(cacheError("Downloaded file is corrupted."));
        return;
    }
    std::optional<core::URL> replaced;
    bool current = false;
    lockQueue_->sync([&] {
        current = isCurrent(cache);
        if (!current) return;
        if (cacheURL_ != cache->fileURL()) replaced = cacheURL_;
        cacheURL_ = cache->fileURL();
        version_ = newVersion_;
        cacheData_ = std::move(*contents);
        storeRecord();
    });
    if (!current) return;
    if (const auto old = existingPath(replaced)) (void)core::FileManager::removeItem(*old);
    resetStateAndNotifyCompletionBlockWithError(std::nullopt);
}

void DZVersionedCache::resourceCacheDidFailCachingWithError(
    const std::shared_ptr<DZResourceCache>& cache, const Error& error) {
    bool current = false;
    lockQueue_->sync([&] { current = isCurrent(cache); });
    if (current) resetStateAndNotifyCompletionBlockWithError(error);
}

bool DZVersionedCache::isCurrent(const std::shared_ptr<DZResourceCache>& cache) const {
    return cache && cache == resourceCache_;
}

void DZVersionedCache::storeRecord() const {
    core::Dictionary record;
    if (cacheURL_) record.set("url", cacheURL_->absoluteString());
    if (version_) record.set("version", *version_);
    core::UserDefaults::standard()->setObject(userDefaultsKey_, std::move(record));
}

void DZVersionedCache::resetState() {
    newVersion_.reset();
    completionBlock_ = nullptr;
    loading_ = false;
    if (const auto cache = std::exchange(resourceCache_, nullptr)) {
        cache->setDelegate({});
        cache->cancelWithError(cacheError("Explicitly cancelled in progress cache."));
    }
}

void DZVersionedCache::resetStateAndNotifyCompletionBlockWithError(std::optional<Error> error) {
    Completion completion;
    lockQueue_->sync([&] {
        completion = std::move(completionBlock_);
        resetState();
    });
    executeCompletionBlock(completion, std::move(error));
}

void DZVersionedCache::executeCompletionBlock(const Completion& completion,
                                              std::optional<Error> error) {
    if (!completion) return;
    core::Queue::main()->async([completion, error = std::move(error)] { completion(error); });
}

}  // namespace ads
