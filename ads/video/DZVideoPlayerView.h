#pragma once
// The flat view of an in-ad video: it draws the player's current frame,
// aspect fit, from a video output on the player's item, pulled at every
// display-link slot while the view is in a window.
//
// Its playback optimization saves work while the ad is off screen: with it
// on, a paused video whose ad is not visible gives up its item, and gets the
// same item back when the ad is visible or playback is to go on. The server
// flag "dzads:video_playback_optimization_disabled" turns every optimization
// operation into nothing.
//
// Main thread.

#include <memory>
#include <string_view>

#include "ads/video/DZVideoFrameSource.h"
#include "ads/video/DZVideoRendering.h"
#include "gfx/Image.h"
#include "media/DisplayLink.h"

namespace ads {

class DZVideoPlayerView : public DZVideoRendering {
public:
    static constexpr std::string_view kOptimizationDisabledKey =
        "/dozuza/ads/dzads:video_playback_optimization_disabled";

    // Reads the server flag now.
    explicit DZVideoPlayerView(gfx::Rect frame = {});
    ~DZVideoPlayerView() override;

    // Shows another player: its current item is the one the optimization
    // gives back, and drawing starts over on a new output.
    void setUpWithPlayer(const std::shared_ptr<media::Player>& player) override;
    void enableVideoPlaybackOptimization() override;
    void resetVideoPlaybackOptimization() override;
    void disableVideoPlaybackOptimization() override;
    void optimizeVideoForAdVisibility(bool visible) override;

    // What a display-link slot does: takes the frame due at hostTime
    // (core::Clock monotonic seconds) and redraws when there is one.
    void displayFrameAtHostTime(double hostTime);

    void draw(gfx::Canvas& canvas, const gfx::Rect& rect) const override;
    void didMoveToWindow() override;

    [[nodiscard]] const std::shared_ptr<media::Player>& player() const { return player_; }
    [[nodiscard]] const std::shared_ptr<media::PlayerItem>& playerItem() const {
        return playerItem_;
    }
    [[nodiscard]] bool playbackOptimizationEnabled() const { return playbackOptimizationEnabled_; }
    [[nodiscard]] bool playbackOptimizationDisabledBySDKCore() const {
        return playbackOptimizationDisabledBySDKCore_;
    }
    // The last frame drawn, converted.
    [[nodiscard]] const gfx::ImagePtr& picture() const { return picture_; }
    [[nodiscard]] const DZVideoFrameSource* frameSource() const { return frameSource_.get(); }
    [[nodiscard]] const std::shared_ptr<media::DisplayLink>& displayLink() const {
        return displayLink_;
    }

private:
    void stopDrawing();

    std::shared_ptr<media::Player> player_;
    std::shared_ptr<media::PlayerItem> playerItem_;
    std::unique_ptr<DZVideoFrameSource> frameSource_;
    std::shared_ptr<media::DisplayLink> displayLink_;
    gfx::ImagePtr picture_;
    bool playbackOptimizationEnabled_ = false;
    bool playbackOptimizationDisabledBySDKCore_ = false;
};

}  // namespace ads
