#pragma once
// The animator of the kit's slide-in screens. Presenting, it leaves a
// snapshot of the presenting view in the container in its place, then
// slides the presented view in from the side opposite `direct` while the
// snapshot moves half as far the same way; dismissing, it slides the
// presented view back out and the snapshot back where the presenting view
// stood, then removes both and shows the presenting view again.
// Left and Down come from the screens' design; Right and Up mirror them.
// Each animation lasts `duration` (0.3 s) on the clock. Main thread only.

#include <memory>

#include "app/QZKit/GestureDirection.h"
#include "app/QZKit/TransitionType.h"
#include "ui/TransitioningDelegate.h"

namespace ui {
class View;
}

namespace app {

class PresentTransition : public ui::AnimatedTransitioning {
public:
    static constexpr double kDuration = 0.3;

    PresentTransition(TransitionType transitionType, GestureDirection direction);

    [[nodiscard]] double duration() const { return duration_; }
    [[nodiscard]] TransitionType transitionType() const { return transitionType_; }
    void setTransitionType(TransitionType type) { transitionType_ = type; }
    [[nodiscard]] GestureDirection direct() const { return direct_; }

    [[nodiscard]] double transitionDuration(ui::TransitionContext&) override { return duration_; }
    // Present runs presentAnimation; every other type dismissAnimation.
    void animateTransition(ui::TransitionContext& context) override;
    void presentAnimation(ui::TransitionContext& context);
    void dismissAnimation(ui::TransitionContext& context);

private:
    double duration_ = kDuration;
    TransitionType transitionType_;
    GestureDirection direct_;
    // The snapshot the last presentation left in the container.
    std::weak_ptr<ui::View> snapshot_;
};

}  // namespace app
