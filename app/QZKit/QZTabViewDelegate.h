#pragma once

namespace app {

// Told when a title of the strip was tapped.
class QZTabViewDelegate {
public:
    virtual ~QZTabViewDelegate() = default;
    virtual void indicatorTouchUp(long index) = 0;
};

}  // namespace app
