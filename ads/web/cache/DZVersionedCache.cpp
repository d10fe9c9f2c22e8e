#include "ads/web/cache/DZVersionedCache.h"

#include <charconv>

#include "ads/foundation/DZFileSystem.h"
#include "ads/foundation/DZHTTPRequest.h"
#include "ads/foundation/DZHashing.h"
#include "ads/foundation/DZNetworkErrors.h"
#include "ads/foundation/DZThreading.h"
#include "core/FileManager.h"
#include "core/URLSession.h"

namespace ads {

namespace {

// File layout: the version's length in decimal, "\n", the version, the data.
std::string encodeRecord(const std::string& version, const core::Data& data) {
    std::string record = std::to_string(version.size());
    record.push_back('\n');
    record.append(version);
    record.append(data.begin(), data.end());
    return record;
}

bool decodeRecord(std::string_view record, std::string& version, core::Data& data) {
    const size_t newline = record.find('\n');
    if (newline == std::string_view::npos) return false;
    size_t length = 0;
    const auto [end, failure] = std::from_chars(record.data(), record.data() + newline, length);
    if (failure != std::errc() || end != record.data() + newline) return false;
    if (record.size() - newline - 1 < length) return false;
    version.assign(record.substr(newline + 1, length));
    const std::string_view bytes = record.substr(newline + 1 + length);
    data.assign(bytes.begin(), bytes.end());
    return true;
}

void completeOnMain(const DZVersionedCache::Completion& completion, std::optional<Error> error) {
    if (!completion) return;
    core::Queue::main()->async([completion, error = std::move(error)] { completion(error); });
}

}  // namespace

std::shared_ptr<DZVersionedCache> DZVersionedCache::create(std::string_view cacheID) {
    if (cacheID.empty()) return nullptr;
    std::shared_ptr<DZVersionedCache> cache(new DZVersionedCache(std::string(cacheID)));
    cache->load();
    return cache;
}

void DZVersionedCache::removeStoredCache(std::string_view cacheID) {
    DZVersionedCache cache{std::string(cacheID)};
    if (const auto path = cache.filePath(nullptr)) (void)core::FileManager::removeItem(*path);
}

DZVersionedCache::DZVersionedCache(std::string cacheID)
    : cacheID_(std::move(cacheID)),
      queue_(DZCreateQueueWithQoS(DZQueueLabel("versioned-cache"), DZQoSUtility)) {}

std::optional<std::string> DZVersionedCache::filePath(Error* error) const {
    const auto folder = DZCacheDirectoryPath("versioned", error);
    const auto folderPath = folder ? folder->fileSystemPath() : std::nullopt;
    if (!folderPath) return std::nullopt;
    const auto name = DZMD5HexString(cacheID_).value_or(cacheID_);
    return *folderPath + "/" + name + ".gcache";
}

void DZVersionedCache::load() {
    const auto path = filePath(nullptr);
    if (!path || !core::FileManager::fileExists(*path)) return;
    const auto contents = core::FileManager::readFile(*path);
    if (!contents) return;
    std::string version;
    core::Data data;
    if (!decodeRecord(contents.value(), version, data)) return;
    const std::lock_guard lock(mutex_);
    version_ = std::move(version);
    data_ = std::move(data);
}

std::optional<core::Data> DZVersionedCache::cacheData() const {
    const std::lock_guard lock(mutex_);
    return data_;
}

std::optional<std::string> DZVersionedCache::version() const {
    const std::lock_guard lock(mutex_);
    return version_;
}

void DZVersionedCache::updateWithURL(const core::URL& url, const std::string& version,
                                     Completion completion) {
    if (!url.isHTTPorHTTPS()) {
        completeOnMain(completion,
                       DZErrorWithCodeDescription(kDZErrorInternalError, "Invalid cache URL."));
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        if (version_ == version) {
            completeOnMain(completion, DZErrorWithCodeDescription(kDZErrorInternalError,
                                                                  "Cache version hasn't changed."));
            return;
        }
        if (updating_) {
            completeOnMain(completion,
                           DZErrorWithCodeDescription(kDZErrorInternalError,
                                                      "A cache update is already on progress."));
            return;
        }
        updating_ = true;
    }
    auto request = DZMakeURLRequest(url, std::nullopt, std::nullopt, std::nullopt);
    auto task = core::URLSession::shared()->dataTask(
        std::move(*request),
        [self = shared_from_this(), version,
         completion](core::Data body, std::optional<core::HTTPURLResponse> response,
                     std::optional<core::NetworkError> failure) {
            if (failure) {
                self->finishUpdate(std::nullopt, version, DZErrorFromNetworkError(*failure),
                                   completion);
            } else if (response && response->statusCode() >= 400) {
                self->finishUpdate(std::nullopt, version,
                                   DZInvalidResponseError(response->statusCode()), completion);
            } else {
                self->finishUpdate(std::move(body), version, std::nullopt, completion);
            }
        },
        queue_);
    task->resume();
}

void DZVersionedCache::finishUpdate(std::optional<core::Data> body, const std::string& version,
                                    std::optional<Error> error, const Completion& completion) {
    if (body) {
        Error folderError;
        const auto path = filePath(&folderError);
        if (!path) {
            error = folderError;
        } else if (const auto written =
                       core::FileManager::writeAtomically(*path, encodeRecord(version, *body));
                   !written) {
            error = DZFileError(written.error(), written.errorNumber());
        }
    }
    {
        const std::lock_guard lock(mutex_);
        if (body) {
            data_ = std::move(body);
            version_ = version;
        }
        updating_ = false;
    }
    completeOnMain(completion, std::move(error));
}

}  // namespace ads
