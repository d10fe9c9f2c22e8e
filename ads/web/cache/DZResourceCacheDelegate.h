#pragma once
// What a DZResourceCache tells its delegate, always asynchronously on the
// main queue. Every download ends with exactly one of the last two calls.

#include <memory>

#include "ads/core/request/DZError.h"

namespace ads {

class DZResourceCache;

class DZResourceCacheDelegate {
public:
    virtual ~DZResourceCacheDelegate() = default;

    virtual void resourceCacheDidStartCaching(const std::shared_ptr<DZResourceCache>&) {}
    // The final response arrived with a status below 400.
    virtual void resourceCacheDidReceiveResponse(const std::shared_ptr<DZResourceCache>&) {}
    // A chunk was appended to the file.
    virtual void resourceCacheDidReceiveData(const std::shared_ptr<DZResourceCache>&) {}
    // The download ended well, or stopped at the cache's byte limit.
    virtual void resourceCacheDidSucceedCaching(const std::shared_ptr<DZResourceCache>& cache) = 0;
    // The download failed or was cancelled; the partial file is gone.
    virtual void resourceCacheDidFailCachingWithError(const std::shared_ptr<DZResourceCache>& cache,
                                                      const Error& error) = 0;
};

}  // namespace ads
