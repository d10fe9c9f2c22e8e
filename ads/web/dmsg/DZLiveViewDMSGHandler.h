#pragma once
// The handler of the Live View dmsg messages, of ad pages and of the SDK
// core page alike: "trackLiveViewUnit" starts the ad view's Live View
// reporter; "untrackLiveViewUnit" stops it while it reports, and otherwise
// tells the delegate that the page stopped measuring "hashCode";
// "visibilityChanged" tells the delegate the page's verdict on "hashCode"
// ("isVisible" "1" is visible, any other text not). The delegate is the
// SDK core web view whose page sends them; in ad view lists there is none.
//
// Main thread.

#include <cstdint>
#include <memory>

#include "ads/web/dmsg/DZDMSGHandler.h"

namespace ads {

class DZLiveViewDMSGHandler;

class DZLiveViewDMSGHandlerDelegate {
public:
    virtual ~DZLiveViewDMSGHandlerDelegate() = default;
    virtual void liveViewDMSGHandlerDidReceiveVisibilityNotification(DZLiveViewDMSGHandler& handler,
                                                                     bool visible,
                                                                     std::uint64_t liveViewID) = 0;
    virtual void
    liveViewDMSGHandlerDidReceiveUntrackNotification(DZLiveViewDMSGHandler& handler,
                                                     std::uint64_t liveViewID) = 0;
};

class DZLiveViewDMSGHandler : public DZDMSGHandler {
public:
    [[nodiscard]] const ActionTable* actionBlockDictionary() const override;

    [[nodiscard]] std::shared_ptr<DZLiveViewDMSGHandlerDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZLiveViewDMSGHandlerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // Messages.
    void didReceiveLiveViewTrackNotification(const std::shared_ptr<DZAdView>& adView,
                                             const core::Dictionary& parameters);
    void didReceiveLiveViewUntrackNotification(const std::shared_ptr<DZAdView>& adView,
                                               const core::Dictionary& parameters);
    void didReceiveLiveViewVisibilityChangedNotification(const std::shared_ptr<DZAdView>& adView,
                                                         const core::Dictionary& parameters);

private:
    std::weak_ptr<DZLiveViewDMSGHandlerDelegate> delegate_;
};

}  // namespace ads
