#pragma once
// Where a view sits on the screen, for the geometry reported to ad pages.
// Main thread only.

#include <optional>

#include "core/Value.h"
#include "ui/DeviceProfile.h"
#include "ui/View.h"

namespace ads {

class DZViewUtilities {
public:
    // The view's frame in screen coordinates as a rect dictionary plus
    // "visible" (a boolean number): not hidden and overlapping the screen's
    // application frame (the screen below the status bar). nullopt without
    // a view, a superview or a window.
    [[nodiscard]] static std::optional<core::Dictionary>
    positionOfView(const ui::View* view, const ui::DeviceProfile& screen);
};

}  // namespace ads
