#pragma once
// One downloaded file kept with its version across launches. The bytes and
// their version live together in one file in the SDK's cache folder
// ("versioned/<MD5 of the cache id>.gcache"), written atomically, so a
// crash leaves either the old pair or the new one.
//
// An update downloads only when the version differs from the stored one,
// and only one update runs at a time. Only http and https URLs are fetched.
// The completion always runs asynchronously on the main thread.
//
// Threading: any thread; the fields are guarded by a lock and the download
// is written on the serial queue "com.dozuza.vuraz.versioned-cache".

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "ads/core/request/DZError.h"
#include "core/Queue.h"
#include "core/URL.h"
#include "core/Value.h"

namespace ads {

class DZVersionedCache : public std::enable_shared_from_this<DZVersionedCache> {
public:
    using Completion = std::function<void(std::optional<Error> error)>;

    // Loads what was stored for the id; nullptr for an empty id.
    [[nodiscard]] static std::shared_ptr<DZVersionedCache> create(std::string_view cacheID);
    // Deletes what is stored for the id (for tests that need a first launch).
    static void removeStoredCache(std::string_view cacheID);

    DZVersionedCache(const DZVersionedCache&) = delete;
    DZVersionedCache& operator=(const DZVersionedCache&) = delete;

    [[nodiscard]] const std::string& cacheID() const { return cacheID_; }
    [[nodiscard]] std::optional<core::Data> cacheData() const;
    [[nodiscard]] std::optional<std::string> version() const;

    // Unless version is the stored one ("Cache version hasn't changed.") or
    // an update is running ("A cache update is already on progress."), both
    // SDK error 11, downloads url and keeps the body with version. A failed
    // download (transport error, or HTTP status 400 or more: SDK error 11
    // "Invalid response received.") keeps what was stored. A body that could
    // not be written to disk is still kept for this process, and the file
    // error reported.
    void updateWithURL(const core::URL& url, const std::string& version, Completion completion);

private:
    explicit DZVersionedCache(std::string cacheID);

    void load();
    void finishUpdate(std::optional<core::Data> body, const std::string& version,
                      std::optional<Error> error, const Completion& completion);
    [[nodiscard]] std::optional<std::string> filePath(Error* error) const;

    const std::string cacheID_;
    const std::shared_ptr<core::Queue> queue_;
    mutable std::mutex mutex_;
    std::optional<core::Data> data_;
    std::optional<std::string> version_;
    bool updating_ = false;
};

}  // namespace ads
