#pragma once
// The page's "video" message: the native player over the ad's page. Its
// sub-actions ("action") create the player at a place ("new", "position"),
// set its source ("src"; a file source takes the precache download along),
// load, tune buffering ("loadControl"), play, pause, set volume, mute, seek
// ("currentTime"), hide, show, rotate, colour the ad view's background and
// drag a 360-degree view ("touchMove"). "precache" goes to the handler's own
// precache handler.
//
// Numbers that are not finite are ignored (the whole "position"), volumes
// are clamped to 0..1, and a source is taken only as http, https or gcache,
// or as a file inside the SDK's cache folder.
//
// Main thread.

#include <memory>

#include "ads/web/dmsg/DZDMSGHandler.h"

namespace ads {

class DZPrecacheDMSGHandler;
class DZVideoConfiguration;

class DZVideoPlayerDMSGHandler : public DZDMSGHandler {
public:
    DZVideoPlayerDMSGHandler();

    [[nodiscard]] const ActionTable* actionBlockDictionary() const override;
    [[nodiscard]] const ActionTable* subActionBlockDictionary() const override;

    // Replaced at each "new"; none before the first.
    [[nodiscard]] const std::shared_ptr<DZVideoConfiguration>& videoConfiguration() const {
        return videoConfiguration_;
    }
    [[nodiscard]] const std::shared_ptr<DZPrecacheDMSGHandler>& precacheDMSGHandler() const {
        return precacheDMSGHandler_;
    }

    // Messages.
    void didReceiveVideoAction(const std::shared_ptr<DZAdView>& adView,
                               const core::Dictionary& parameters);
    void didReceivePrecacheAction(const std::shared_ptr<DZAdView>& adView,
                                  const core::Dictionary& parameters);
    // Sub-actions of "video".
    void didReceiveNewVideoAction(const std::shared_ptr<DZAdView>& adView,
                                  const core::Dictionary& parameters);
    void didReceivePositionVideoAction(const std::shared_ptr<DZAdView>& adView,
                                       const core::Dictionary& parameters);
    void didReceiveSetVideoSourceAction(const std::shared_ptr<DZAdView>& adView,
                                        const core::Dictionary& parameters);
    void didReceiveLoadVideoAction(const std::shared_ptr<DZAdView>& adView,
                                   const core::Dictionary& parameters);
    void didReceiveLoadControlVideoAction(const std::shared_ptr<DZAdView>& adView,
                                          const core::Dictionary& parameters);
    void didReceivePlayVideoAction(const std::shared_ptr<DZAdView>& adView,
                                   const core::Dictionary& parameters);
    void didReceivePauseVideoAction(const std::shared_ptr<DZAdView>& adView,
                                    const core::Dictionary& parameters);
    void didReceiveSetVolumeAction(const std::shared_ptr<DZAdView>& adView,
                                   const core::Dictionary& parameters);
    void didReceiveMutedVideoAction(const std::shared_ptr<DZAdView>& adView,
                                    const core::Dictionary& parameters);
    void didReceiveSeekToCurrentTimeAction(const std::shared_ptr<DZAdView>& adView,
                                           const core::Dictionary& parameters);
    void didReceiveHideVideoAction(const std::shared_ptr<DZAdView>& adView,
                                   const core::Dictionary& parameters);
    void didReceiveShowVideoAction(const std::shared_ptr<DZAdView>& adView,
                                   const core::Dictionary& parameters);
    void didReceiveRotationVideoAction(const std::shared_ptr<DZAdView>& adView,
                                       const core::Dictionary& parameters);
    void didReceiveBackgroundAction(const std::shared_ptr<DZAdView>& adView,
                                    const core::Dictionary& parameters);
    void didReceiveTouchMoveAction(const std::shared_ptr<DZAdView>& adView,
                                   const core::Dictionary& parameters);

private:
    std::shared_ptr<DZVideoConfiguration> videoConfiguration_;
    const std::shared_ptr<DZPrecacheDMSGHandler> precacheDMSGHandler_;
};

}  // namespace ads
