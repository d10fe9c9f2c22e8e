#pragma once
// What a scroll view tells the object that follows its scrolling, usually
// the view controller that owns it. Every method is optional; the defaults
// do nothing. Called on the main thread, from inside touch delivery or the
// scroll view's animation frames.

#include <memory>

#include "gfx/Geometry.h"

namespace ui {

class ScrollView;
class View;

class ScrollViewDelegate {
public:
    virtual ~ScrollViewDelegate() = default;

    // After every change of the content offset: each drag move, each frame
    // of an animation or deceleration, each changed setContentOffset.
    virtual void scrollViewDidScroll(ScrollView&) {}

    virtual void scrollViewWillBeginDragging(ScrollView&) {}
    // When the finger lifts. `velocity` is in points per millisecond along
    // the content offset (positive: the offset was growing). The delegate
    // may move `targetContentOffset`, where the content comes to rest.
    virtual void scrollViewWillEndDragging(ScrollView&, gfx::Point /*velocity*/,
                                           gfx::Point& /*targetContentOffset*/) {}
    virtual void scrollViewDidEndDragging(ScrollView&, bool /*willDecelerate*/) {}
    virtual void scrollViewWillBeginDecelerating(ScrollView&) {}
    virtual void scrollViewDidEndDecelerating(ScrollView&) {}
    // After an animated setContentOffset reaches its target.
    virtual void scrollViewDidEndScrollingAnimation(ScrollView&) {}
    virtual void scrollViewDidScrollToTop(ScrollView&) {}

    // Zooming hooks; the scroll view does not zoom yet.
    [[nodiscard]] virtual std::shared_ptr<View> viewForZooming(ScrollView&) { return nullptr; }
    virtual void scrollViewDidZoom(ScrollView&) {}
    virtual void scrollViewDidEndZooming(ScrollView&, View* /*view*/, double /*scale*/) {}
};

}  // namespace ui
