#pragma once
// A DZAdFetcher delegate that records the outcome, for the fetcher's tests.

#include <memory>
#include <optional>

#include "ads/core/response/DZAd.h"
#include "ads/core/response/DZAdFetcher.h"
#include "core/RunLoop.h"

namespace adfetchertesting {

struct FetchRecorder : ads::DZAdFetcherDelegate {
    int calls = 0;
    bool fetched = false;
    std::shared_ptr<ads::DZAd> ad;
    std::optional<ads::Error> error;
    int responseCode = 0;

    void didFetchAd(ads::DZAdFetcher&, const std::shared_ptr<ads::DZAd>& fetchedAd) override {
        ++calls;
        fetched = true;
        ad = fetchedAd;
    }
    void didFailToFetchAd(ads::DZAdFetcher&, const std::shared_ptr<ads::DZAd>& failedAd,
                          const ads::Error& failure, int code) override {
        ++calls;
        ad = failedAd;
        error = failure;
        responseCode = code;
    }
    [[nodiscard]] bool waitForOutcome(double limitSeconds = 10) const {
        return core::RunLoop::main().runUntil([this] { return calls > 0; }, limitSeconds);
    }
};

}  // namespace adfetchertesting
