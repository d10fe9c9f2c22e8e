#pragma once
// The native requests of an MRAID creative: "mraidLoaded" (its MRAID script
// is ready: the slot pushes the MRAID state, for the slot's own ad view
// only) and "mraid", whose "a" selects "resize", "storePicture",
// "createCalendarEvent" or "setOrientationProperties". The work is done by
// the ad view delegate's opener and its slot; errors reach the creative as
// the slot's MRAID error report. Main thread.

#include <memory>

#include "ads/web/dmsg/DZDMSGHandler.h"

namespace ads {

class DZOpener;

class DZMRAIDDMSGHandler : public DZDMSGHandler {
public:
    static constexpr const char* kInvalidOrientationPropertiesMessage =
        "Received invalid orientation properties";

    explicit DZMRAIDDMSGHandler(std::shared_ptr<DZOpener> opener) : opener_(std::move(opener)) {}

    [[nodiscard]] const ActionTable* actionBlockDictionary() const override;
    [[nodiscard]] const ActionTable* subActionBlockDictionary() const override;

    [[nodiscard]] const std::shared_ptr<DZOpener>& opener() const { return opener_; }

    void didReceiveMRAIDNotification(const std::shared_ptr<DZAdView>& adView,
                                     const core::Dictionary& parameters);
    void didReceiveMRAIDLoadNotification(const std::shared_ptr<DZAdView>& adView,
                                         const core::Dictionary& parameters);
    // Parameters that make no resize properties resize nothing.
    void actionResize(const std::shared_ptr<DZAdView>& adView, const core::Dictionary& parameters);
    void actionStorePicture(const std::shared_ptr<DZAdView>& adView,
                            const core::Dictionary& parameters);
    void actionCreateCalendarEvent(const std::shared_ptr<DZAdView>& adView,
                                   const core::Dictionary& parameters);
    // Only for a full-screen ad: the orientations it is allowed, from
    // "allowOrientationChange", "forceOrientation" and "animationDuration".
    void actionSetOrientationProperties(const std::shared_ptr<DZAdView>& adView,
                                        const core::Dictionary& parameters);

private:
    std::shared_ptr<DZOpener> opener_;
};

}  // namespace ads
