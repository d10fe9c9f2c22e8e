#include "app/QZKit/PresentTransition.h"

#include "core/Console.h"
#include "ui/TransitionContext.h"
#include "ui/View.h"
#include "ui/ViewController.h"

namespace app {

namespace {

// Where the presented view starts (as a frame offset of one screen) and
// how far it and the snapshot move while presenting.
struct SlideGeometry {
    gfx::Point start;
    gfx::Point presentedShift;
    gfx::Point snapshotShift;
};

SlideGeometry slideGeometry(GestureDirection direction, gfx::Size size) {
    const double w = size.width;
    const double h = size.height;
    switch (direction) {
    case GestureDirection::Left:
        return {{w, 0}, {-w, 0}, {-w / 2, 0}};
    case GestureDirection::Right:
        return {{-w, 0}, {w, 0}, {w / 2, 0}};
    case GestureDirection::Up:
        return {{0, -h}, {0, h}, {0, h / 2}};
    case GestureDirection::Down:
        return {{0, h}, {0, -h}, {0, -h / 2}};
    }
    return {};
}

gfx::AffineTransform translation(gfx::Point shift) {
    return gfx::AffineTransform::translation(shift.x, shift.y);
}

}  // namespace

PresentTransition::PresentTransition(TransitionType transitionType, GestureDirection direction)
    : transitionType_(transitionType), direct_(direction) {}

void PresentTransition::animateTransition(ui::TransitionContext& context) {
    if (transitionType_ == TransitionType::Present) {
        presentAnimation(context);
    } else {
        dismissAnimation(context);
    }
}

void PresentTransition::presentAnimation(ui::TransitionContext& context) {
    const auto from = context.viewControllerForKey(ui::TransitionKey::From);
    const auto to = context.viewControllerForKey(ui::TransitionKey::To);
    const auto container = context.containerView();
    if (!from || !to || !container) {
        core::Console::log("PresentTransition: nothing to present");
        context.completeTransition(!context.transitionWasCancelled());
        return;
    }
    const auto fromView = from->view();
    const auto toView = to->view();
    const gfx::Rect frame = fromView->frame();
    const SlideGeometry geometry = slideGeometry(direct_, frame.size);

    const auto snapshot = fromView->snapshotViewAfterScreenUpdates(false);
    if (snapshot) {
        snapshot->setFrame(frame);
        fromView->setHidden(true);
        container->addSubview(snapshot);
    }
    snapshot_ = snapshot;
    container->addSubview(toView);
    toView->setTransform(gfx::AffineTransform::identity());
    toView->setFrame(gfx::Rect(geometry.start, frame.size));

    ui::View::animate(
        duration_,
        [&] {
            toView->setTransform(translation(geometry.presentedShift));
            if (snapshot) snapshot->setTransform(translation(geometry.snapshotShift));
        },
        [context = context.shared_from_this(), fromView, snapshot](bool) {
            if (context->transitionWasCancelled()) {
                fromView->setHidden(false);
                if (snapshot) snapshot->removeFromSuperview();
            }
            context->completeTransition(!context->transitionWasCancelled());
        });
}

void PresentTransition::dismissAnimation(ui::TransitionContext& context) {
    const auto from = context.viewControllerForKey(ui::TransitionKey::From);
    const auto to = context.viewControllerForKey(ui::TransitionKey::To);
    if (!from || !to) {
        core::Console::log("PresentTransition: nothing to dismiss");
        context.completeTransition(!context.transitionWasCancelled());
        return;
    }
    const auto presentedView = from->view();
    const auto presentingView = to->view();
    const gfx::Size size = presentedView->frame().size;
    const gfx::Point shift = slideGeometry(direct_, size).presentedShift;
    auto snapshot = snapshot_.lock();
    if (snapshot && snapshot->superview() != context.containerView()) snapshot.reset();

    ui::View::animate(
        duration_,
        [&] {
            if (snapshot) snapshot->setTransform(gfx::AffineTransform::identity());
            presentedView->setTransform(translation({-shift.x, -shift.y}));
        },
        [context = context.shared_from_this(), presentedView, presentingView, snapshot](bool) {
            if (context->transitionWasCancelled()) {
                context->completeTransition(false);
                return;
            }
            presentingView->setHidden(false);
            presentedView->removeFromSuperview();
            if (snapshot) snapshot->removeFromSuperview();
            context->completeTransition(true);
        });
}

}  // namespace app
