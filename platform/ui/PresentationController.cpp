#include "ui/PresentationController.h"

#include <string>
#include <utility>

#include "core/Console.h"
#include "core/RunLoop.h"
#include "ui/Application.h"
#include "ui/StandardTransitions.h"
#include "ui/TransitionContext.h"
#include "ui/TransitioningDelegate.h"
#include "ui/View.h"
#include "ui/Window.h"

namespace ui {

PresentationController::PresentationController(const std::shared_ptr<ViewController>& presenter,
                                               std::shared_ptr<ViewController> presented)
    : presenter_(presenter), presented_(std::move(presented)),
      style_(presented_->modalPresentationStyle()) {}

std::optional<std::string>
PresentationController::refusal(const std::shared_ptr<ViewController>& source,
                                const std::shared_ptr<ViewController>& controller) {
    if (!source || !controller) return std::string(" without a controller");
    const auto presenter = source->outermostParent();
    if (presenter->presented_)
        return " which is already presenting " + presenter->presented_->description();
    if (controller == presenter || controller->presentingViewController() ||
        controller->parentViewController())
        return std::string(", but it is already presented or is a child controller");
    if (!presenter->isViewLoaded() || !presenter->view()->window())
        return std::string(" whose view is not in the window hierarchy");
    return std::nullopt;
}

bool PresentationController::present(const std::shared_ptr<ViewController>& source,
                                     const std::shared_ptr<ViewController>& controller,
                                     bool animated, std::function<void()> completion) {
    if (!source || !controller) return false;
    const auto presenter = source->outermostParent();
    if (const auto reason = refusal(source, controller)) {
        core::Console::log("Warning: Attempt to present " + controller->description() + " on " +
                           presenter->description() + *reason);
        return false;
    }
    const auto window = presenter->view()->window();

    const auto presentation = std::make_shared<PresentationController>(presenter, controller);
    presenter->presentation_ = presentation;
    presenter->presented_ = controller;
    controller->presenting_ = presenter;

    const auto view = controller->view();
    const gfx::Rect bounds = window->bounds();
    view->setFrame(bounds);
    window->addSubview(view);

    const bool covers = presentation->coversPresenter();
    controller->beingPresented_ = true;
    if (covers) presenter->beginAppearanceTransition(false, animated);
    controller->beginAppearanceTransition(true, animated);

    std::shared_ptr<AnimatedTransitioning> animator;
    std::shared_ptr<InteractiveTransitioning> interaction;
    if (const auto delegate = controller->transitioningDelegate()) {
        animator = delegate->animationControllerForPresented(controller, presenter, source);
        if (animator) interaction = delegate->interactionControllerForPresentation(animator);
    }
    const auto presenterView = presenter->view();
    const gfx::Rect presenterFrame = presenterView->frame();
    const auto transition = std::make_shared<TransitionContext>(
        window,
        TransitionContext::Side{presenter, presenterView, presenterFrame,
                                covers ? gfx::Rect() : presenterFrame},
        TransitionContext::Side{controller, view, gfx::Rect(), bounds}, animated,
        [weak = std::weak_ptr(presentation), completion = std::move(completion)](bool completed) {
            if (const auto self = weak.lock()) self->didPresent(completed, completion);
        });
    presentation->transition_ = transition;
    transition->setStandardAnimation([weak = std::weak_ptr(controller)](double duration) {
        if (const auto presented = weak.lock()) standard::presentation(*presented, true, duration);
    });
    presentation->starting_ = true;
    transition->start(std::move(animator), std::move(interaction), kTransitionDuration);
    presentation->starting_ = false;
    return true;
}

void PresentationController::didPresent(bool completed, const std::function<void()>& completion) {
    const auto self = shared_from_this();
    transition_.reset();
    const auto presenter = presenter_.lock();
    const bool covers = coversPresenter() && presenter;
    if (!completed) {
        presented_->beginAppearanceTransition(false, true);
        if (covers) presenter->beginAppearanceTransition(true, true);
        presented_->view()->removeFromSuperview();
        presented_->endAppearanceTransition();
        if (covers) presenter->endAppearanceTransition();
        presented_->beingPresented_ = false;
        afterPresenting_.clear();
        unlink();
        return;
    }
    phase_ = Phase::Presented;
    presented_->endAppearanceTransition();
    presented_->beingPresented_ = false;
    if (covers) {
        presenter->view()->setHidden(true);
        presenter->endAppearanceTransition();
    }
    finish(presenter, completion);
    auto queued = std::move(afterPresenting_);
    afterPresenting_.clear();
    for (auto& task : queued) task();
}

void PresentationController::dismiss(bool animated, std::function<void()> completion) {
    if (phase_ == Phase::Presenting) {
        afterPresenting_.push_back(
            [weak = weak_from_this(), animated, completion = std::move(completion)]() mutable {
                if (const auto self = weak.lock()) self->dismiss(animated, std::move(completion));
            });
        return;
    }
    const auto presenter = presenter_.lock();
    if (phase_ == Phase::Dismissing || !presenter) {
        core::Console::log("Warning: Attempt to dismiss " + presented_->description() +
                           " while its dismissal is in progress");
        return;
    }
    phase_ = Phase::Dismissing;
    tearDownNested();

    const bool covers = coversPresenter();
    const auto presenterView = presenter->view();
    presented_->beingDismissed_ = true;
    presented_->beginAppearanceTransition(false, animated);
    if (covers) {
        presenterView->setHidden(false);
        presenter->beginAppearanceTransition(true, animated);
    }

    std::shared_ptr<AnimatedTransitioning> animator;
    std::shared_ptr<InteractiveTransitioning> interaction;
    if (const auto delegate = presented_->transitioningDelegate()) {
        animator = delegate->animationControllerForDismissed(presented_);
        if (animator) interaction = delegate->interactionControllerForDismissal(animator);
    }
    const auto view = presented_->view();
    const gfx::Rect presenterFrame = presenterView->frame();
    const auto transition = std::make_shared<TransitionContext>(
        view->superview(), TransitionContext::Side{presented_, view, view->frame(), gfx::Rect()},
        TransitionContext::Side{presenter, presenterView, presenterFrame, presenterFrame},
        animated && view->window() != nullptr,
        [weak = weak_from_this(), completion = std::move(completion)](bool completed) {
            if (const auto self = weak.lock()) self->didDismiss(completed, completion);
        });
    transition_ = transition;
    transition->setStandardAnimation([weak = std::weak_ptr(presented_)](double duration) {
        if (const auto presented = weak.lock()) standard::presentation(*presented, false, duration);
    });
    starting_ = true;
    transition->start(std::move(animator), std::move(interaction), kTransitionDuration);
    starting_ = false;
}

void PresentationController::didDismiss(bool completed, const std::function<void()>& completion) {
    const auto self = shared_from_this();
    transition_.reset();
    const auto presenter = presenter_.lock();
    const bool covers = coversPresenter() && presenter;
    if (!completed) {
        phase_ = Phase::Presented;
        presented_->beginAppearanceTransition(true, true);
        if (covers) presenter->beginAppearanceTransition(false, true);
        presented_->endAppearanceTransition();
        presented_->beingDismissed_ = false;
        if (covers) {
            presenter->view()->setHidden(true);
            presenter->endAppearanceTransition();
        }
        return;
    }
    presented_->view()->removeFromSuperview();
    presented_->endAppearanceTransition();
    presented_->beingDismissed_ = false;
    if (covers) presenter->endAppearanceTransition();
    unlink();
    finish(presenter, completion);
}

void PresentationController::finish(const std::shared_ptr<ViewController>& presenter,
                                    const std::function<void()>& completion) const {
    if (presenter && presenter->isViewLoaded()) {
        if (const auto window = presenter->view()->window()) {
            Application::shared().enforceSupportedOrientation(*window);
        }
    }
    if (!completion) return;
    if (starting_) {
        core::RunLoop::main().post(completion);
    } else {
        completion();
    }
}

void PresentationController::tearDownNested() {
    while (const auto nested = presented_->presentation_) {
        if (nested->transition_) {
            nested->transition_->completeTransition(true);
            continue;
        }
        nested->tearDownNested();
        const auto inner = nested->presented_;
        inner->beingDismissed_ = true;
        inner->beginAppearanceTransition(false, false);
        inner->view()->removeFromSuperview();
        inner->endAppearanceTransition();
        inner->beingDismissed_ = false;
        presented_->view()->setHidden(false);
        nested->unlink();
    }
}

void PresentationController::unlink() {
    presented_->presenting_.reset();
    const auto presenter = presenter_.lock();
    if (presenter && presenter->presentation_.get() == this) {
        presenter->presented_.reset();
        presenter->presentation_.reset();
    }
}

}  // namespace ui
