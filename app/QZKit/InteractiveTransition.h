#pragma once
// Drives the kit's slide-back dismissal from a pan. Added as the action of
// a pan recognizer on the presented screen's view: when the pan begins it
// starts dismissing `vc` (for the Dismiss type), then follows the pan with
// a damped progress (a pan of one full width towards `direct` gives 0.5)
// and, when the finger lifts, finishes the dismissal beyond 0.3 of progress
// or cancels it. A pan that is cancelled or fails cancels it too.
//
// `vc` is held weakly: the screen owns this object. Main thread only.

#include <memory>

#include "app/QZKit/GestureDirection.h"
#include "app/QZKit/TransitionType.h"
#include "gfx/Geometry.h"
#include "ui/PercentDrivenInteractiveTransition.h"

namespace ui {
class GestureRecognizer;
class ViewController;
}  // namespace ui

namespace app {

class InteractiveTransition : public ui::PercentDrivenInteractiveTransition {
public:
    static constexpr double kFinishThreshold = 0.3;

    InteractiveTransition(TransitionType type, GestureDirection direction);

    // True from the beginning of a pan to its end.
    [[nodiscard]] bool interaction() const { return interaction_; }
    [[nodiscard]] std::shared_ptr<ui::ViewController> vc() const { return vc_.lock(); }
    void setVc(const std::shared_ptr<ui::ViewController>& controller) { vc_ = controller; }
    [[nodiscard]] GestureDirection direct() const { return direct_; }
    [[nodiscard]] TransitionType type() const { return type_; }

    // The action of the pan recognizer; other recognizers are ignored.
    void handleGestureWithPan(ui::GestureRecognizer& recognizer);

    // The progress of a pan `translation` over a view of `size`, towards
    // `direction`, in 0...1.
    [[nodiscard]] static double progress(GestureDirection direction, gfx::Point translation,
                                         gfx::Size size);

private:
    bool interaction_ = false;
    std::weak_ptr<ui::ViewController> vc_;
    GestureDirection direct_;
    TransitionType type_;
};

}  // namespace app
