#pragma once
// What a DZAdFetcher tells its delegate, on the main thread: exactly one of
// the two per fetch, or nothing once the fetch was cancelled.

#include <memory>

#include "ads/core/request/DZError.h"

namespace ads {

class DZAd;
class DZAdFetcher;

class DZAdFetcherDelegate {
public:
    virtual ~DZAdFetcherDelegate() = default;

    // The ad has a response type other than 0 and markup that is not empty.
    virtual void didFetchAd(DZAdFetcher& fetcher, const std::shared_ptr<DZAd>& ad) = 0;
    // responseCode: the HTTP status of a failed load (-1 without a
    // response), else 0.
    virtual void didFailToFetchAd(DZAdFetcher& fetcher, const std::shared_ptr<DZAd>& ad,
                                  const Error& error, int responseCode) = 0;
};

}  // namespace ads
