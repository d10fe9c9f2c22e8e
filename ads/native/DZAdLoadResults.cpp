#include "ads/native/DZAdLoadResults.h"

#include "ads/native/DZAdLoader.h"
#include "ads/native/DZLoadable.h"

namespace ads {

DZAdLoadResults::DZAdLoadResults(std::weak_ptr<DZAdLoader> adLoader,
                                 std::int64_t requestedAdCount)
    : requestedAdCount_(requestedAdCount), adLoader_(std::move(adLoader)),
      lockQueue_(core::Queue::serial("ad-load-results")) {}

void DZAdLoadResults::setReturnedAdCount(std::int64_t count) {
    if (count < 1) {
        handleLoadResult(DZErrorWithCode(kDZErrorNoFill), true);
        return;
    }
    lockQueue_->async([self = shared_from_this(), count] { self->returnedAdCount_ = count; });
}

void DZAdLoadResults::insertAdLoadResult(Result result, std::int64_t index) {
    if (const auto* ad = std::get_if<std::shared_ptr<DZLoadable>>(&result); ad && !*ad) return;
    lockQueue_->async([self = shared_from_this(), result = std::move(result), index] {
        self->adLoadResults_.insert_or_assign(index, result);
        for (auto found = self->adLoadResults_.find(self->nextIndex_);
             found != self->adLoadResults_.end();
             found = self->adLoadResults_.find(self->nextIndex_)) {
            Result next = std::move(found->second);
            self->adLoadResults_.erase(found);
            ++self->nextIndex_;
            if (self->nextIndex_ < self->returnedAdCount_) {
                self->handleLoadResult(std::move(next), false);
            } else if (self->returnedAdCount_ >= self->requestedAdCount_) {
                self->handleLoadResult(std::move(next), true);
            } else {
                self->handleLoadResult(std::move(next), false);
                self->handleLoadResult(DZErrorWithCode(kDZErrorNoFill), true);
            }
        }
    });
}

void DZAdLoadResults::handleLoadResult(Result result, bool isFinalResult) {
    core::Queue::main()->async([loader = adLoader_, result = std::move(result), isFinalResult] {
        const auto adLoader = loader.lock();
        if (!adLoader) return;
        if (const auto* error = std::get_if<Error>(&result)) {
            adLoader->handleFailedRequestWithRequestError(*error, isFinalResult);
        } else if (const auto& ad = std::get<std::shared_ptr<DZLoadable>>(result)) {
            adLoader->adDidFinishLoadingAssets(ad, isFinalResult);
        }
    });
}

}  // namespace ads
