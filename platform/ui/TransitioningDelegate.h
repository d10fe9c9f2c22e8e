#pragma once
// The pieces a custom transition is made of, shared by navigation pushes and
// pops and by modal presentation:
//  - an AnimatedTransitioning object (the animator) moves the views of a
//    TransitionContext and calls completeTransition when it is done;
//  - an InteractiveTransitioning object drives a transition from a gesture
//    (it starts the animator and then updates, finishes or cancels the
//    context);
//  - a TransitioningDelegate hands out animators for presenting and
//    dismissing one controller. Every method has a default answering
//    nullptr, which means the standard transition.
// Main thread only.

#include <memory>

namespace ui {

class TransitionContext;
class ViewController;

class AnimatedTransitioning {
public:
    virtual ~AnimatedTransitioning() = default;

    [[nodiscard]] virtual double transitionDuration(TransitionContext&) { return 0.3; }
    // Sets up and runs the animation; the transition lasts until the
    // animator calls context.completeTransition(). To finish later, keep the
    // context alive with context.shared_from_this().
    virtual void animateTransition(TransitionContext& context) = 0;
    // Called once the transition has completed or been cancelled.
    virtual void animationEnded(bool /*transitionCompleted*/) {}
};

class InteractiveTransitioning {
public:
    virtual ~InteractiveTransitioning() = default;

    // Called instead of the animator: the interaction starts the animator
    // itself and later calls the context's updateInteractiveTransition,
    // finishInteractiveTransition or cancelInteractiveTransition.
    virtual void startInteractiveTransition(TransitionContext& context) = 0;
};

class TransitioningDelegate {
public:
    virtual ~TransitioningDelegate() = default;

    // `source` is the controller presentViewController was called on;
    // `presenting` the one actually presenting (its outermost parent).
    [[nodiscard]] virtual std::shared_ptr<AnimatedTransitioning> animationControllerForPresented(
        const std::shared_ptr<ViewController>& /*presented*/,
        const std::shared_ptr<ViewController>& /*presenting*/,
        const std::shared_ptr<ViewController>& /*source*/) {
        return nullptr;
    }
    [[nodiscard]] virtual std::shared_ptr<AnimatedTransitioning> animationControllerForDismissed(
        const std::shared_ptr<ViewController>& /*dismissed*/) {
        return nullptr;
    }
    // Asked only when the matching animation controller gave an animator.
    [[nodiscard]] virtual std::shared_ptr<InteractiveTransitioning>
    interactionControllerForPresentation(
        const std::shared_ptr<AnimatedTransitioning>& /*animator*/) {
        return nullptr;
    }
    [[nodiscard]] virtual std::shared_ptr<InteractiveTransitioning>
    interactionControllerForDismissal(const std::shared_ptr<AnimatedTransitioning>& /*animator*/) {
        return nullptr;
    }
};

}  // namespace ui
