#pragma once
// What a DZClickTracker tells its owner, on the main thread.

namespace ads {

class DZClickTracker;

class DZClickTrackerDelegate {
public:
    virtual ~DZClickTrackerDelegate() = default;
    // Once per tracking, when the ping has ended, whatever its outcome.
    virtual void trackerDidFinishTracking(DZClickTracker& tracker) = 0;
};

}  // namespace ads
