#pragma once
// A slot as the web layer sees it through the opener of its ad view's
// delegate (DZAdViewSlot): the slot's kind of ad and its ad view. The slot
// keeps the copies here current on the main thread; the URL-loading
// threads read them under the lock, never the slot's own fields.

#include <memory>
#include <mutex>

#include "ads/web/view/DZAdViewSlot.h"

namespace ads {

class DZSlotAdViewSlot final : public DZAdViewSlot {
public:
    void update(std::shared_ptr<DZAdType> adType, const std::shared_ptr<DZAdView>& adView) {
        std::lock_guard lock(mutex_);
        adType_ = std::move(adType);
        adView_ = adView;
    }
    [[nodiscard]] std::shared_ptr<DZAdType> adType() const override {
        std::lock_guard lock(mutex_);
        return adType_;
    }
    [[nodiscard]] std::shared_ptr<DZAdView> adView() const override {
        std::lock_guard lock(mutex_);
        return adView_.lock();
    }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<DZAdType> adType_;
    std::weak_ptr<DZAdView> adView_;
};

}  // namespace ads
