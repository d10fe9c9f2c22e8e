#pragma once
// Downloads one URL into one file while others read from it: each chunk is
// appended to the file as it arrives (never held in memory) and readers
// take byte ranges straight from the growing file, so a video can play long
// before the download ends. Progress goes to one delegate and to observers
// of kDZResourceCacheDidUpdateCacheNotification (object: the cache), posted
// per chunk and when the response arrives or the download ends. A download
// may stop successfully at a byte limit (maxBytes).
// Without one it fails once the resource proves larger than
// kDefaultMaxBytes, by its Content-Length or by the bytes written; and any
// download fails at the header when its Content-Length would leave less
// than kFreeSpaceMargin free on the cache's disk. Downloads end when bytes
// come too slowly (DZDownloadSessionConfiguration).
//
// Life: created (valid, not started) -> start() -> started -> completed,
// valid on success (the byte-limit stop included), invalid on failure,
// which also deletes the partial file. A cache over a complete file is
// created completed. No state is left again: a new download needs a new
// object.
//
// Threading: every field lives on the serial queue
// "com.dozuza.vuraz.resource-cache"; any thread may call any member, except
// from that queue (accessors wait on it). The connection runs on the main
// run loop; delegate calls and notifications arrive asynchronously on the
// main queue.

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
#include "core/URLConnection.h"
#include "core/URLRequest.h"
#include "core/Value.h"

namespace ads {

inline constexpr std::string_view kDZResourceCacheDidUpdateCacheNotification =
    "DZResourceCacheDidUpdateCacheNotification";

class DZResourceCache : public std::enable_shared_from_this<DZResourceCache> {
public:
    static constexpr std::int64_t kDefaultMaxBytes = 64 * 1024 * 1024;
    static constexpr std::int64_t kFreeSpaceMargin = 64 * 1024 * 1024;

    // Downloads into the SDK cache folder under the file that cacheID names
    // ("<hash of cacheID>.gcache", DZStringHashHex): equal ids share a file,
    // which stays when the object goes. nullptr for an empty id, or when the
    // folder cannot be made (error gets the folder's error).
    [[nodiscard]] static std::shared_ptr<DZResourceCache>
    createWithCacheID(core::URLRequest request, std::string_view cacheID, Error* error);
    // The file a cache id names, in the SDK cache folder (made on demand);
    // nullopt with the folder's error when it cannot be made.
    [[nodiscard]] static std::optional<core::URL> fileURLForCacheID(std::string_view cacheID,
                                                                    Error* error);
    // Downloads into fileURL.
    [[nodiscard]] static std::shared_ptr<DZResourceCache>
    create(core::URLRequest request, core::URL fileURL, bool removeFileOnDealloc);
    // Wraps a complete file: started, completed and with headers received;
    // the cached size is the file's size on disk (0 when unreadable).
    [[nodiscard]] static std::shared_ptr<DZResourceCache>
    create(core::URLRequest request, core::URL fileURL, std::optional<std::string> contentType,
           std::int64_t contentLength, bool removeFileOnDealloc);

    DZResourceCache(const DZResourceCache&) = delete;
    DZResourceCache& operator=(const DZResourceCache&) = delete;
    // Cancels a running download without a delegate call; deletes the file
    // when asked to at creation.
    ~DZResourceCache();

    // Begins the download once: writes an empty file (replacing any) and
    // starts the connection; later calls do nothing.
    void start();
    // Ends a running download as failed with error; without an error it
    // ends as succeeded with the bytes it holds (the file stays). No effect
    // after the end.
    void cancelWithError(std::optional<Error> error);

    // Up to length bytes of the file from location; fewer at its end, never
    // more than the file holds. nullopt without an error when location is at
    // or past the cached size or length is 0; nullopt with the file's error
    // when it cannot be opened, or SDK error 11 "Failed to read file %@"
    // when reading fails.
    [[nodiscard]] std::optional<core::Data> dataWithRange(std::uint64_t location,
                                                          std::uint64_t length, Error* error) const;

    [[nodiscard]] std::int64_t cachedContentSize() const;
    // Bytes a second since the start while downloading; -1.0 when unknown.
    [[nodiscard]] double networkSpeedInBytesPerSecond() const;

    // Every header received, redirect responses included; a later field of
    // the same name (in any case) replaces the earlier one.
    [[nodiscard]] core::Dictionary responseHeaders() const;
    [[nodiscard]] bool started() const;
    [[nodiscard]] bool responseHeadersReceived() const;
    [[nodiscard]] bool completed() const;
    // Usable content: true until caching fails.
    [[nodiscard]] bool valid() const;
    // The first "Content-Type" received.
    [[nodiscard]] std::optional<std::string> contentType() const;
    // The announced length ("Content-Length", else the part a
    // "Content-Range" names); 0 when unknown, negative or out of range.
    [[nodiscard]] std::int64_t contentLength() const;
    // -1 (the default; any negative value alike): kDefaultMaxBytes bounds
    // the download, which fails past it. Otherwise the download ends
    // successfully once the file holds at least this many bytes.
    [[nodiscard]] std::int64_t maxBytes() const;
    void setMaxBytes(std::int64_t maxBytes);
    [[nodiscard]] std::shared_ptr<DZResourceCacheDelegate> delegate() const;
    void setDelegate(std::weak_ptr<DZResourceCacheDelegate> delegate);

    [[nodiscard]] const std::optional<std::string>& cacheID() const { return cacheID_; }
    [[nodiscard]] const core::URLRequest& request() const { return request_; }
    [[nodiscard]] const core::URL& fileURL() const { return fileURL_; }

private:
    class ConnectionDelegate;
    struct Private {};

public:
    DZResourceCache(Private, core::URLRequest request, core::URL fileURL,
                    std::optional<std::string> cacheID, bool removeFileOnDealloc);

private:
    // Lock queue only from here on.
    template <typename T>
    [[nodiscard]] T read(T DZResourceCache::*field) const;
    void startOnQueue();
    [[nodiscard]] bool isCurrent(const core::URLConnection* connection) const {
        return connection && connection_.get() == connection;
    }
    void mergeHeaders(const core::HTTPURLResponse& response);
    void addHeaders(const core::HTTPURLResponse& response);
    void didReceiveResponse(const core::HTTPURLResponse& response);
    // The failure of a response too large for the limit or the disk.
    [[nodiscard]] std::optional<Error> refusalOfContentLength() const;
    [[nodiscard]] Error tooLargeError(const std::string& what) const;
    void appendData(const core::Data& data);
    void cachingDidCompleteWithError(std::optional<Error> error);
    using DelegateCall =
        std::function<void(DZResourceCacheDelegate&, const std::shared_ptr<DZResourceCache>&)>;
    // Calls the delegate on the main queue, reading it there; then posts
    // the update notification when asked to.
    void notifyDelegate(DelegateCall call, bool postUpdate = false);

    const std::shared_ptr<core::Queue> lockQueue_;
    const core::URLRequest request_;
    const std::optional<std::string> cacheID_;
    const bool removeFileOnDealloc_;
    const core::URL fileURL_;
    const std::optional<std::string> filePath_;

    std::shared_ptr<core::URLConnection> connection_;
    std::shared_ptr<ConnectionDelegate> connectionDelegate_;
    double cachingStartTimeIntervalSinceBoot_ = -1.0;
    std::weak_ptr<DZResourceCacheDelegate> delegate_;
    core::Dictionary responseHeaders_;
    std::int64_t cacheContentSize_ = 0;
    std::int64_t maxBytes_ = -1;
    bool responseHeadersReceived_ = false;
    bool started_ = false;
    bool completed_ = false;
    bool valid_ = true;
    std::optional<std::string> contentType_;
    std::int64_t contentLength_ = 0;
};

// Whether the byte at wantedOffset of a resource, whose cache holds it from
// startingOffset on, is in the cache's file or will arrive within maxWait
// seconds at the current speed (always yes while the speed is unknown). No
// when an offset the answer depends on lies beyond the int64 range.
[[nodiscard]] bool DZResourceCacheCanServeRange(const std::shared_ptr<DZResourceCache>& cache,
                                                std::int64_t startingOffset,
                                                std::int64_t wantedOffset, double maxWait);

}  // namespace ads
