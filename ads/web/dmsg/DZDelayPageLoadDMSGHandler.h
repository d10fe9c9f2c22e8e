#pragma once
// The page's "delayPageLoaded", on a later turn of the main queue: "start"
// opens one more delay, "stop" closes one (none below 0), "cancel" tells the
// delegate the load is cancelled and lets go of it, so later messages reach
// nobody; the first of those keys present wins, and values are not read.
// The delegate hears every change of the count. Main thread.

#include <cstdint>
#include <memory>

#include "ads/web/dmsg/DZDMSGHandler.h"

namespace ads {

class DZDelayLoadDelegate;

class DZDelayPageLoadDMSGHandler : public DZDMSGHandler {
public:
    explicit DZDelayPageLoadDMSGHandler(std::weak_ptr<DZDelayLoadDelegate> delegate)
        : delegate_(std::move(delegate)) {}

    [[nodiscard]] const ActionTable* actionBlockDictionary() const override;

    [[nodiscard]] std::shared_ptr<DZDelayLoadDelegate> delegate() const { return delegate_.lock(); }
    [[nodiscard]] std::int64_t delayCount() const { return delayCount_; }

    void delayPageLoadWithArguments(const std::shared_ptr<DZAdView>& adView,
                                    const core::Dictionary& parameters);
    void handleDelayLoadWithParameters(const core::Dictionary& parameters);

private:
    std::weak_ptr<DZDelayLoadDelegate> delegate_;
    std::int64_t delayCount_ = 0;
};

}  // namespace ads
