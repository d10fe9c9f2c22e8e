#include "ui/TransitionContext.h"

#include <algorithm>
#include <utility>

#include "core/Queue.h"
#include "ui/TransitioningDelegate.h"
#include "ui/View.h"
#include "ui/ViewController.h"

namespace ui {

struct TransitionContext::Snapshot {
    std::weak_ptr<View> superview;
    // Centre and bounds rather than the frame, which setFrame cannot put
    // back under a translating transform.
    gfx::Point center;
    gfx::Rect bounds;
    gfx::AffineTransform transform;
    double alpha = 1;
    bool hidden = false;
};

TransitionContext::TransitionContext(std::shared_ptr<View> containerView, Side from, Side to,
                                     bool animated, Completion completion)
    : container_(std::move(containerView)),
      from_(std::move(from)),
      to_(std::move(to)),
      animated_(animated),
      completion_(std::move(completion)) {
    if (from_.view) {
        fromSnapshot_ = std::make_unique<Snapshot>();
        fromSnapshot_->superview = from_.view->superview();
        fromSnapshot_->center = from_.view->center();
        fromSnapshot_->bounds = from_.view->bounds();
        fromSnapshot_->transform = from_.view->transform();
        fromSnapshot_->alpha = from_.view->alpha();
        fromSnapshot_->hidden = from_.view->isHidden();
    }
}

TransitionContext::~TransitionContext() = default;

std::shared_ptr<ViewController> TransitionContext::viewControllerForKey(TransitionKey key) const {
    return key == TransitionKey::From ? from_.controller : to_.controller;
}

std::shared_ptr<View> TransitionContext::viewForKey(TransitionKey key) const {
    return key == TransitionKey::From ? from_.view : to_.view;
}

gfx::Rect TransitionContext::initialFrame(const ViewController& controller) const {
    if (from_.controller.get() == &controller) return from_.initialFrame;
    if (to_.controller.get() == &controller) return to_.initialFrame;
    return {};
}

gfx::Rect TransitionContext::finalFrame(const ViewController& controller) const {
    if (from_.controller.get() == &controller) return from_.finalFrame;
    if (to_.controller.get() == &controller) return to_.finalFrame;
    return {};
}

void TransitionContext::start(std::shared_ptr<AnimatedTransitioning> animator,
                              std::shared_ptr<InteractiveTransitioning> interaction,
                              double standardDuration) {
    const auto self = shared_from_this();
    animator_ = std::move(animator);
    if (interaction && animator_) {
        interactive_ = true;
        interaction->startInteractiveTransition(*this);
    } else if (animator_) {
        animator_->animateTransition(*this);
    } else if (animated_ && standardDuration > 0) {
        if (const auto animation = std::move(standardAnimation_)) animation(standardDuration);
        core::Queue::main()->after(standardDuration, [self] { self->completeTransition(true); });
    } else {
        completeTransition(true);
    }
}

void TransitionContext::completeTransition(bool didComplete) {
    if (complete_) return;
    const auto self = weak_from_this().lock();
    complete_ = true;
    cancelled_ = !didComplete;
    if (!didComplete) restoreFromView();
    const auto animator = std::move(animator_);
    const auto completion = std::move(completion_);
    if (animator) animator->animationEnded(didComplete);
    if (completion) completion(didComplete);
}

void TransitionContext::updateInteractiveTransition(double percentComplete) {
    if (complete_) return;
    percent_ = std::clamp(percentComplete, 0.0, 1.0);
}

void TransitionContext::finishInteractiveTransition() {
    if (complete_) return;
    percent_ = 1;
    completeTransition(true);
}

void TransitionContext::cancelInteractiveTransition() {
    if (complete_) return;
    percent_ = 0;
    completeTransition(false);
}

void TransitionContext::interactionDidEnd(bool cancelled) {
    if (complete_) return;
    percent_ = cancelled ? 0 : 1;
    cancelled_ = cancelled;
}

void TransitionContext::restoreFromView() {
    if (!from_.view || !fromSnapshot_) return;
    View& view = *from_.view;
    view.setTransform(fromSnapshot_->transform);
    view.setBounds(fromSnapshot_->bounds);
    view.setCenter(fromSnapshot_->center);
    view.setAlpha(fromSnapshot_->alpha);
    view.setHidden(fromSnapshot_->hidden);
    const auto superview = fromSnapshot_->superview.lock();
    if (!superview || view.superview() == superview) return;
    if (to_.view && to_.view->superview() == superview) {
        superview->insertSubviewBelow(from_.view, to_.view.get());
    } else {
        superview->addSubview(from_.view);
    }
}

}  // namespace ui
