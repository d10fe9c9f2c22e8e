#pragma once
// The view an in-ad video draws into, flat or 360 degrees, placed by the ad
// view under its web page. Besides showing a player it may save work while
// the ad is off screen (the playback optimization), where the view supports
// that. Main thread.

#include <memory>

#include "media/Player.h"
#include "ui/View.h"

namespace ads {

class DZVideoRendering : public ui::View {
public:
    using ui::View::View;

    // Shows the player (nothing new for the player already shown).
    virtual void setUpWithPlayer(const std::shared_ptr<media::Player>& player) = 0;
    virtual void enableVideoPlaybackOptimization() = 0;
    // Undoes what the optimization did to the player.
    virtual void resetVideoPlaybackOptimization() = 0;
    virtual void disableVideoPlaybackOptimization() = 0;
    // Tunes playback for whether the ad view is visible.
    virtual void optimizeVideoForAdVisibility(bool visible) = 0;
};

}  // namespace ads
