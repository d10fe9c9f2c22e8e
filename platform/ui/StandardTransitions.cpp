#include "ui/StandardTransitions.h"

#include "ui/AlertBoxView.h"
#include "ui/AlertView.h"
#include "ui/ViewAnimations.h"
#include "ui/ViewController.h"

namespace ui::standard {

namespace {

void animate(View& view, AnimatedProperty property, const AnimatedValue& from,
             const AnimatedValue& to, double duration, AnimationCurve curve) {
    PropertyAnimation animation;
    animation.property = property;
    animation.from = from;
    animation.to = to;
    animation.begin = ViewAnimations::now();
    animation.duration = duration;
    animation.timing.curve = curve;
    view.addAnimation(std::move(animation));
}

// Moves the view's presentation from `from` to `to` (offsets of its centre).
void slide(View& view, gfx::Point from, gfx::Point to, double duration, AnimationCurve curve) {
    const gfx::Point c = view.center();
    animate(view, AnimatedProperty::Center, AnimatedValue::of(gfx::Point{c.x + from.x, c.y + from.y}),
            AnimatedValue::of(gfx::Point{c.x + to.x, c.y + to.y}), duration, curve);
}

void fade(View& view, double from, double to, double duration) {
    animate(view, AnimatedProperty::Alpha, AnimatedValue::of(from * view.alpha()),
            AnimatedValue::of(to * view.alpha()), duration, AnimationCurve::EaseInOut);
}

}  // namespace

void navigation(View* from, View* to, bool push, double duration) {
    const View* any = to ? to : from;
    if (!any || duration <= 0) return;
    const double width = any->bounds().width();
    const double aside = -width * kPushedAsideFraction;
    const auto curve = AnimationCurve::EaseInOut;
    if (push) {
        if (to) slide(*to, {width, 0}, {0, 0}, duration, curve);
        if (from) slide(*from, {0, 0}, {aside, 0}, duration, curve);
    } else {
        if (to) slide(*to, {aside, 0}, {0, 0}, duration, curve);
        if (from) slide(*from, {0, 0}, {width, 0}, duration, curve);
    }
}

void presentation(ViewController& presented, bool presenting, double duration) {
    if (duration <= 0 || !presented.isViewLoaded()) return;
    View& view = *presented.view();
    const double height = view.bounds().height();
    const gfx::Point below{0, height};
    if (auto* alert = dynamic_cast<AlertView*>(&view)) {
        // The box moves from where its layout puts it.
        alert->layoutIfNeeded();
        const auto box = alert->box();
        if (alert->style() == AlertControllerStyle::Alert) {
            fade(view, presenting ? 0 : 1, presenting ? 1 : 0, duration);
            if (box && presenting) {
                const gfx::AffineTransform t = box->transform();
                animate(*box, AnimatedProperty::Transform,
                        AnimatedValue::of(t.scaled(kAlertStartScale, kAlertStartScale)),
                        AnimatedValue::of(t), duration, AnimationCurve::EaseOut);
            }
            return;
        }
        fade(view, presenting ? 0 : 1, presenting ? 1 : 0, duration);
        if (box) {
            const gfx::Point off{0, height - box->frame().minY()};
            slide(*box, presenting ? off : gfx::Point{}, presenting ? gfx::Point{} : off, duration,
                  AnimationCurve::EaseOut);
        }
        return;
    }
    if (presented.modalTransitionStyle() == ModalTransitionStyle::CrossDissolve) {
        fade(view, presenting ? 0 : 1, presenting ? 1 : 0, duration);
        return;
    }
    slide(view, presenting ? below : gfx::Point{}, presenting ? gfx::Point{} : below, duration,
          AnimationCurve::EaseInOut);
}

}  // namespace ui::standard
