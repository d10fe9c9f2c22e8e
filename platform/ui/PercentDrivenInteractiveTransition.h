#pragma once
// An interaction driven by a percentage, usually from a pan. When the
// transition starts it runs the context's animator at once with the
// animation completions held back (AnimationCompletionCapture), so the
// transition stays open however long the gesture lasts; update() follows
// the gesture. finish() lets the held completions run once the rest of the
// duration has passed on the clock; cancel() first puts the container's
// subviews and both sides' views back where they stood when the
// interaction started (the animation runs backwards, and our animations
// jump to their end), then lets the completions run once the part of the
// duration already done has passed, with the context reporting the
// transition cancelled. The animator's completion ends the transition, as
// for any animated transition.
//
// One transition at a time; update, finish and cancel with none running
// are ignored, and so is everything after finish or cancel. Main thread only.

#include <memory>
#include <vector>

#include "ui/AnimationCompletionCapture.h"
#include "ui/TransitioningDelegate.h"

namespace ui {

class PercentDrivenInteractiveTransition : public InteractiveTransitioning {
public:
    PercentDrivenInteractiveTransition();
    ~PercentDrivenInteractiveTransition() override;

    void startInteractiveTransition(TransitionContext& context) override;

    // Percentages are clamped to 0...1.
    void update(double percentComplete);
    void finish();
    void cancel();

    // Between start and finish or cancel.
    [[nodiscard]] bool isInteracting() const { return context_ != nullptr; }
    [[nodiscard]] double percentComplete() const { return percent_; }
    // The animator's duration for the running transition; 0 when none runs.
    [[nodiscard]] double duration() const { return duration_; }

private:
    struct ViewState;

    // Drops the transition when something else has completed it.
    [[nodiscard]] bool running();
    void end(bool cancelled);
    void recordViews(const TransitionContext& context);
    void restoreViews();

    std::shared_ptr<TransitionContext> context_;
    std::vector<AnimationCompletionCapture::Completion> held_;
    std::vector<ViewState> before_;
    double duration_ = 0;
    double percent_ = 0;
};

}  // namespace ui
