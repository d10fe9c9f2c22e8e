#pragma once
// An interaction driven by a percentage, usually from a pan. When the
// transition starts it runs the context's animator at once with the
// animation completions held back (AnimationCompletionCapture), so the
// transition stays open however long the gesture lasts, and its animations
// on a timeline of their own (AnimationTimeline) held where update() puts
// it: what is drawn follows the gesture. finish() lets the animations run
// on and the held completions run once the rest of the duration has passed
// on the clock; cancel() first puts the container's subviews and both
// sides' views back where they stood when the interaction started, drawn
// springing back from where they were shown over the part of the duration
// already done, then lets the completions run once that has passed, with
// the context reporting the transition cancelled. The animator's
// completion ends the transition, as for any animated transition.
//
// One transition at a time; update, finish and cancel with none running
// are ignored, and so is everything after finish or cancel. Main thread only.

#include <memory>
#include <vector>

#include "ui/AnimationCompletionCapture.h"
#include "ui/TransitioningDelegate.h"

namespace ui {

class AnimationTimeline;

class PercentDrivenInteractiveTransition : public InteractiveTransitioning {
public:
    // How a cancelled transition springs back (a damping ratio: settling
    // without passing where it started).
    static constexpr double kCancelDamping = 1.0;

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
    void restoreViews(double duration);

    std::shared_ptr<TransitionContext> context_;
    std::vector<AnimationCompletionCapture::Completion> held_;
    std::vector<ViewState> before_;
    double duration_ = 0;
    double percent_ = 0;
    std::shared_ptr<AnimationTimeline> timeline_;
    double timelineStart_ = 0;
};

}  // namespace ui
