#include "ui/PercentDrivenInteractiveTransition.h"

#include <algorithm>
#include <utility>

#include "core/Queue.h"
#include "ui/TransitionContext.h"
#include "ui/View.h"
#include "ui/ViewAnimations.h"

namespace ui {

struct PercentDrivenInteractiveTransition::ViewState {
    std::weak_ptr<View> view;
    gfx::Point center;
    gfx::Rect bounds;
    gfx::AffineTransform transform;
    double alpha = 1;
    bool hidden = false;
};

PercentDrivenInteractiveTransition::PercentDrivenInteractiveTransition() = default;

PercentDrivenInteractiveTransition::~PercentDrivenInteractiveTransition() {
    // Nothing holds the animations where a gesture left them any more.
    if (timeline_) timeline_->resume(ViewAnimations::now());
}

void PercentDrivenInteractiveTransition::startInteractiveTransition(TransitionContext& context) {
    if (context_) end(true);
    const auto animator = context.animator();
    if (!animator || context.isComplete()) return;
    context_ = context.shared_from_this();
    percent_ = 0;
    duration_ = std::max(0.0, animator->transitionDuration(context));
    recordViews(context);
    // The animator's animations are drawn where the gesture has got to.
    const double now = ViewAnimations::now();
    timeline_ = std::make_shared<AnimationTimeline>(now);
    timelineStart_ = now;
    AnimationCompletionCapture capture;
    {
        const AnimationTimelineScope scope(timeline_);
        animator->animateTransition(context);
    }
    held_ = capture.take();
}

void PercentDrivenInteractiveTransition::update(double percentComplete) {
    if (!running()) return;
    percent_ = std::clamp(percentComplete, 0.0, 1.0);
    if (timeline_) timeline_->holdAt(timelineStart_ + percent_ * duration_);
    context_->updateInteractiveTransition(percent_);
}

void PercentDrivenInteractiveTransition::finish() {
    if (running()) end(false);
}

void PercentDrivenInteractiveTransition::cancel() {
    if (running()) end(true);
}

bool PercentDrivenInteractiveTransition::running() {
    if (context_ && context_->isComplete()) {
        context_.reset();
        held_.clear();
        before_.clear();
        if (timeline_) timeline_->resume(ViewAnimations::now());
        timeline_.reset();
    }
    return context_ != nullptr;
}

void PercentDrivenInteractiveTransition::end(bool cancelled) {
    const auto context = std::exchange(context_, nullptr);
    auto held = std::exchange(held_, {});
    const double remaining = duration_ * (cancelled ? percent_ : 1 - percent_);
    const auto timeline = std::exchange(timeline_, nullptr);
    if (cancelled) restoreViews(remaining);
    // Whatever else the animator moved runs on to its end.
    if (timeline) timeline->resume(ViewAnimations::now());
    before_.clear();
    context->interactionDidEnd(cancelled);
    duration_ = 0;
    core::Queue::main()->after(remaining, [context, held = std::move(held)] {
        for (const auto& completion : held) completion(true);
    });
}

void PercentDrivenInteractiveTransition::recordViews(const TransitionContext& context) {
    before_.clear();
    std::vector<std::shared_ptr<View>> views;
    if (const auto container = context.containerView()) views = container->subviews();
    for (const auto key : {TransitionKey::From, TransitionKey::To}) {
        const auto view = context.viewForKey(key);
        if (view && std::find(views.begin(), views.end(), view) == views.end()) {
            views.push_back(view);
        }
    }
    for (const auto& view : views) {
        before_.push_back({view, view->center(), view->bounds(), view->transform(), view->alpha(),
                           view->isHidden()});
    }
}

void PercentDrivenInteractiveTransition::restoreViews(double duration) {
    const double now = ViewAnimations::now();
    for (const ViewState& state : before_) {
        const auto view = state.view.lock();
        if (!view) continue;
        // What is on screen springs back to where the views stood.
        const gfx::AffineTransform shownTransform = view->presentationTransform();
        const gfx::Rect shownBounds = view->presentationBounds();
        const gfx::Point shownCenter = view->presentationCenter();
        const double shownAlpha = view->presentationAlpha();
        view->removeAllAnimations();
        view->setTransform(state.transform);
        view->setBounds(state.bounds);
        view->setCenter(state.center);
        view->setAlpha(state.alpha);
        view->setHidden(state.hidden);
        if (duration <= 0) continue;
        const auto back = [&](AnimatedProperty property, const AnimatedValue& from,
                              const AnimatedValue& to) {
            if (from == to) return;
            PropertyAnimation animation;
            animation.property = property;
            animation.from = from;
            animation.to = to;
            animation.begin = now;
            animation.duration = duration;
            animation.timing = AnimationTiming::spring(kCancelDamping, 0);
            view->addAnimation(std::move(animation));
        };
        back(AnimatedProperty::Transform, AnimatedValue::of(shownTransform),
             AnimatedValue::of(state.transform));
        back(AnimatedProperty::Bounds, AnimatedValue::of(shownBounds),
             AnimatedValue::of(state.bounds));
        back(AnimatedProperty::Center, AnimatedValue::of(shownCenter),
             AnimatedValue::of(state.center));
        back(AnimatedProperty::Alpha, AnimatedValue::of(shownAlpha),
             AnimatedValue::of(state.alpha));
    }
}

}  // namespace ui
