#pragma once
// The receiver of an MRAID ad's life events (its slot): the ad's MRAID
// script loaded or the ad went away, visibility and position changes to
// push into the page, and errors to report to it. Main thread.

#include <string>

namespace ui {
class View;
}

namespace ads {

class DZMRAIDEventHandling {
public:
    virtual ~DZMRAIDEventHandling() = default;
    virtual void MRAIDAdDidLoad() = 0;
    virtual void MRAIDAdDidUnload() = 0;
    virtual void updateVisibility(bool visible) = 0;
    virtual void updatePositionFromView(const ui::View* view) = 0;
    virtual void notifyOrientationToMRAIDCreative() = 0;
    virtual void handleError(const std::string& message, const std::string& action) = 0;
};

}  // namespace ads
