#pragma once
// A native ad that carries an HTML overlay for the publisher's ad view:
// the view policy places that overlay over the ad view. Main thread.

#include <memory>

namespace ads {

class DZOverlayView;

class DZOverlayViewSource {
public:
    virtual ~DZOverlayViewSource() = default;
    [[nodiscard]] virtual std::shared_ptr<DZOverlayView> overlayView() const = 0;
};

}  // namespace ads
