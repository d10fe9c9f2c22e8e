#pragma once
// The ad page's small device requests: "httpTrack" pings a tracking URL
// (no click signal), "log" writes to the SDK log at level 1, "touch" hands
// the page's touch to the click-signal module, "vibrate" plays the vibrate
// system sound, "canOpenURLs" answers the page with "openableURLs" (each
// URL text of the comma-separated "urls" mapped to whether the device can
// open it), and "close" gives a full-screen ad's screen back. Main thread.

#include <cstdint>
#include <string_view>

#include "ads/web/dmsg/DZDMSGHandler.h"

namespace ads {

class DZDefaultDMSGHandler : public DZDMSGHandler {
public:
    [[nodiscard]] const ActionTable* actionBlockDictionary() const override;

    // The integer the value under key answers (a number, or a text that is
    // one), else the default.
    [[nodiscard]] static std::int64_t integerForKey(std::string_view key,
                                                    const core::Dictionary& dictionary,
                                                    std::int64_t defaultValue);

    void didReceiveTrackHTTPNotification(const std::shared_ptr<DZAdView>& adView,
                                         const core::Dictionary& parameters);
    void didReceiveLogNotification(const std::shared_ptr<DZAdView>& adView,
                                   const core::Dictionary& parameters);
    // A value outside the 32-bit range counts as absent (-1).
    void didReceiveTouchNotification(const std::shared_ptr<DZAdView>& adView,
                                     const core::Dictionary& parameters);
    void didReceiveVibrateNotification(const std::shared_ptr<DZAdView>& adView,
                                       const core::Dictionary& parameters);
    void didReceiveCanOpenURLsNotification(const std::shared_ptr<DZAdView>& adView,
                                           const core::Dictionary& parameters);
    void didReceiveCloseNotification(const std::shared_ptr<DZAdView>& adView,
                                     const core::Dictionary& parameters);
};

}  // namespace ads
