#pragma once
// One downloaded file per name, tagged with a version, kept across
// launches: creation loads the last good copy into memory, and an update
// downloads a new version through a resource cache and swaps it in only when
// the download succeeded, deleting the old version's file. The event log
// keeps its script here ("sawmill_js").
//
// Stored form: the record {"url": the current file's URL, "version"} in the
// standard user defaults under "/dozuza/ads/versioned-cache:<cacheID>"
// (cacheID: DZStringHashHex of the name), and each version's file in the
// SDK cache folder under the resource-cache id "<cacheID>.<version>". A
// store written by earlier builds (one file "versioned/<MD5 of the
// name>.gcache" holding version and bytes) is taken over at the first
// creation and then deleted.
//
// One update runs at a time; only http and https URLs are fetched.
// Completions run asynchronously on the main queue. Files are read into
// memory whole, so a file larger than kMaximumFileBytes is refused unread:
// a stored one is not loaded, and a download of one fails, keeping the
// current version.
//
// Threading: any thread, except the fields' serial queue
// "com.dozuza.vuraz.versioned-cache"; resource-cache callbacks arrive on
// the main thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ads/core/request/DZError.h"
#include "ads/web/cache/DZResourceCacheDelegate.h"
#include "core/Queue.h"
#include "core/URL.h"
#include "core/Value.h"

namespace ads {

class DZVersionedCache : public DZResourceCacheDelegate,
                         public std::enable_shared_from_this<DZVersionedCache> {
public:
    using Completion = std::function<void(std::optional<Error> error)>;

    static constexpr std::string_view kUserDefaultsKeyPrefix = "/dozuza/ads/versioned-cache";
    static constexpr std::uint64_t kMaximumFileBytes = 2 * 1024 * 1024;

    // Loads what was stored for the name; nullptr for an empty name.
    [[nodiscard]] static std::shared_ptr<DZVersionedCache> create(std::string_view name);
    // Forgets the record and deletes the files stored for the name, the
    // earlier builds' one too (for tests that need a first launch).
    static void removeStoredCache(std::string_view name);

    DZVersionedCache(const DZVersionedCache&) = delete;
    DZVersionedCache& operator=(const DZVersionedCache&) = delete;

    [[nodiscard]] const std::string& cacheID() const { return cacheID_; }
    [[nodiscard]] const std::string& userDefaultsKey() const { return userDefaultsKey_; }
    [[nodiscard]] std::optional<core::Data> cacheData() const;
    [[nodiscard]] std::optional<std::string> version() const;
    // The current version's file.
    [[nodiscard]] std::optional<core::URL> cacheURL() const;

    // Downloads url as version, unless version is the current one ("Cache
    // version hasn't changed."), an update runs ("A cache update is already
    // on progress.") or url is not http(s) ("Invalid cache URL."), all SDK
    // error 11. A failed download (for instance SDK error 2 "Invalid response
    // received.") keeps the current version, its data and record, and leaves
    // no partial file.
    void updateWithURL(const core::URL& url, const std::string& version, Completion completion);

    void resourceCacheDidSucceedCaching(const std::shared_ptr<DZResourceCache>& cache) override;
    void resourceCacheDidFailCachingWithError(const std::shared_ptr<DZResourceCache>& cache,
                                              const Error& error) override;

private:
    struct Private {};

public:
    DZVersionedCache(Private, std::string cacheID);

private:
    void load(std::string_view name);
    // DZVersionedCacheTakeover.cpp: the earlier builds' store becomes the
    // current version; false when there is none.
    bool takeOverEarlierStore(std::string_view name);
    [[nodiscard]] static std::optional<std::string> earlierStorePath(std::string_view name);
    // The file's bytes; nullopt when it cannot be read or holds more than
    // kMaximumFileBytes.
    [[nodiscard]] static std::optional<core::Data> readStoredFile(const std::string& path);

    // Lock queue only.
    void resetState();
    [[nodiscard]] bool isCurrent(const std::shared_ptr<DZResourceCache>& cache) const;
    void resetStateAndNotifyCompletionBlockWithError(std::optional<Error> error);
    static void executeCompletionBlock(const Completion& completion, std::optional<Error> error);
    void storeRecord() const;

    const std::string cacheID_;
    const std::string userDefaultsKey_;
    const std::shared_ptr<core::Queue> lockQueue_;

    std::optional<core::URL> cacheURL_;
    std::shared_ptr<DZResourceCache> resourceCache_;
    Completion completionBlock_;
    bool loading_ = false;
    std::optional<std::string> newVersion_;
    std::optional<core::Data> cacheData_;
    std::optional<std::string> version_;
};

}  // namespace ads
