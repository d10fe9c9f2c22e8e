#pragma once
// The page's "logScionEvent": the event ("eventName", "eventId") goes to the
// host app's analytics bridge when it is on; "_ai" and "_ac" also tell the
// ad view's delegate of an impression or a click. Main thread.

#include "ads/web/dmsg/DZDMSGHandler.h"

namespace ads {

class DZAnalyticsDMSGHandler : public DZDMSGHandler {
public:
    [[nodiscard]] const ActionTable* actionBlockDictionary() const override;

    void didReceiveLogEventNotification(const std::shared_ptr<DZAdView>& adView,
                                        const core::Dictionary& parameters);
};

}  // namespace ads
