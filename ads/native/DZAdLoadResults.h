#pragma once
// The results of one ad loader request, handed to the loader strictly in
// index order however they complete: a result waits until every earlier
// index has been delivered. The last one is final when at least as many
// ads came back as were asked for; otherwise an SDK error 1 ("no ad")
// follows it as the final result. No ads at all gives that error at once.
//
// Threading: results may be inserted from any thread; storing and ordering
// run on the serial queue "ad-load-results", and each delivery reaches the
// loader on the main queue (nothing once the loader is gone).

#include <cstdint>
#include <map>
#include <memory>
#include <variant>

#include "ads/core/request/DZError.h"
#include "core/Queue.h"

namespace ads {

class DZAdLoader;
class DZLoadable;

class DZAdLoadResults : public std::enable_shared_from_this<DZAdLoadResults> {
public:
    using Result = std::variant<std::shared_ptr<DZLoadable>, Error>;

    DZAdLoadResults(std::weak_ptr<DZAdLoader> adLoader, std::int64_t requestedAdCount);

    [[nodiscard]] std::int64_t requestedAdCount() const { return requestedAdCount_; }
    void setReturnedAdCount(std::int64_t count);
    // A null ad is ignored.
    void insertAdLoadResult(Result result, std::int64_t index);
    void handleLoadResult(Result result, bool isFinalResult);

private:
    const std::int64_t requestedAdCount_;
    std::int64_t returnedAdCount_ = 0;      // lock queue only
    std::int64_t nextIndex_ = 0;            // lock queue only
    std::map<std::int64_t, Result> adLoadResults_;  // lock queue only
    std::weak_ptr<DZAdLoader> adLoader_;
    std::shared_ptr<core::Queue> lockQueue_;
};

}  // namespace ads
