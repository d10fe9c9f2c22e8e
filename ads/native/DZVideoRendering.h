#pragma once
// The view an in-ad video draws into (a flat or a 360-degree player view).
// Video playback is not built yet: the optimisation switches are recorded
// and change nothing. Main thread.

#include "ui/View.h"

namespace ads {

class DZVideoRendering : public ui::View {
public:
    using ui::View::View;

    virtual void enableVideoPlaybackOptimization() { optimizationEnabled_ = true; }
    // Tunes playback for whether the ad view is visible.
    virtual void optimizeVideoPlayback(bool visible) { optimizedForVisible_ = visible; }

    [[nodiscard]] bool isOptimizationEnabled() const { return optimizationEnabled_; }
    [[nodiscard]] bool isOptimizedForVisible() const { return optimizedForVisible_; }

private:
    bool optimizationEnabled_ = false;
    bool optimizedForVisible_ = false;
};

}  // namespace ads
