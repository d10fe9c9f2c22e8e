#pragma once
// One running transition between two controllers, as navigation and modal
// presentation hand it to an animator: the container view, the controller
// and view on each side with their initial and final frames, and
// completeTransition(), which ends the transition exactly once (later calls
// are ignored, so a driver may force a transition to its end).
//
// The driver has already put the "to" view in the container (frame: its
// final frame, or its initial one when that is not empty) before the
// animator runs. Completing with didComplete=false puts the "from" view back
// as it was when the transition started (superview, frame, alpha, transform,
// hidden) and answers transitionWasCancelled() true; the driver then undoes
// the rest.
//
// Interactive transitions are percent driven in a simple way:
// updateInteractiveTransition only records the percentage (an interaction
// such as PercentDrivenInteractiveTransition moves what is drawn), finishInteractiveTransition completes and
// cancelInteractiveTransition completes with didComplete=false. An
// interaction that lets the animator end the transition instead (see
// PercentDrivenInteractiveTransition) records the outcome with
// interactionDidEnd, then the animator's own completeTransition follows.
// Main thread only.

#include <functional>
#include <memory>

#include "gfx/Geometry.h"

namespace ui {

class AnimatedTransitioning;
class InteractiveTransitioning;
class View;
class ViewController;

enum class TransitionKey { From, To };

class TransitionContext : public std::enable_shared_from_this<TransitionContext> {
public:
    struct Side {
        std::shared_ptr<ViewController> controller;
        std::shared_ptr<View> view;
        // Rect() when the side has no frame at that end (appearing from or
        // leaving to wherever the animator chooses).
        gfx::Rect initialFrame;
        gfx::Rect finalFrame;
    };
    using Completion = std::function<void(bool didComplete)>;

    TransitionContext(std::shared_ptr<View> containerView, Side from, Side to, bool animated,
                      Completion completion);
    ~TransitionContext();
    TransitionContext(const TransitionContext&) = delete;
    TransitionContext& operator=(const TransitionContext&) = delete;

    [[nodiscard]] std::shared_ptr<View> containerView() const { return container_; }
    [[nodiscard]] std::shared_ptr<ViewController> viewControllerForKey(TransitionKey key) const;
    [[nodiscard]] std::shared_ptr<View> viewForKey(TransitionKey key) const;
    // Rect() for a controller that is not part of the transition.
    [[nodiscard]] gfx::Rect initialFrame(const ViewController& controller) const;
    [[nodiscard]] gfx::Rect finalFrame(const ViewController& controller) const;

    [[nodiscard]] bool isAnimated() const { return animated_; }
    [[nodiscard]] bool isInteractive() const { return interactive_; }
    [[nodiscard]] bool transitionWasCancelled() const { return cancelled_; }
    [[nodiscard]] bool isComplete() const { return complete_; }
    [[nodiscard]] double percentComplete() const { return percent_; }

    // Runs the transition: through the interaction when there is one, else
    // through the animator, else the standard way (when animated, runs the
    // standard animation and completes after `standardDuration` seconds on
    // the clock; completes before returning when not).
    void start(std::shared_ptr<AnimatedTransitioning> animator,
               std::shared_ptr<InteractiveTransitioning> interaction, double standardDuration);

    void completeTransition(bool didComplete);
    // What the standard way draws over its duration (see start).
    void setStandardAnimation(std::function<void(double duration)> animation) {
        standardAnimation_ = std::move(animation);
    }

    void updateInteractiveTransition(double percentComplete);
    void finishInteractiveTransition();
    void cancelInteractiveTransition();
    // Records how the interaction ended without completing:
    // percentComplete becomes 1 (finished) or 0 (cancelled) and
    // transitionWasCancelled answers `cancelled`.
    void interactionDidEnd(bool cancelled);
    // The animator given to start(); nullptr once the transition completed.
    [[nodiscard]] const std::shared_ptr<AnimatedTransitioning>& animator() const {
        return animator_;
    }

private:
    struct Snapshot;

    void restoreFromView();

    std::shared_ptr<View> container_;
    Side from_;
    Side to_;
    bool animated_;
    Completion completion_;
    std::function<void(double duration)> standardAnimation_;
    std::shared_ptr<AnimatedTransitioning> animator_;
    std::unique_ptr<Snapshot> fromSnapshot_;
    bool interactive_ = false;
    bool cancelled_ = false;
    bool complete_ = false;
    double percent_ = 0;
};

}  // namespace ui
