#include "app/QZKit/InteractiveTransition.h"

#include <algorithm>
#include <string>

#include "core/Console.h"
#include "core/NumberText.h"
#include "ui/GestureRecognizer.h"
#include "ui/View.h"
#include "ui/ViewController.h"

namespace app {

namespace {

void logNumber(std::string_view label, double value) {
    std::string line(label);
    core::NumberText::appendDouble(line, value);
    core::Console::log(line);
}

// numerator / denominator, clamped to 0...1. Once the pan has moved a full
// size the way that makes the denominator zero or negative the quotient
// means nothing: the progress is then 1 when the numerator is positive (the
// pan went that far towards the dismissal) and 0 otherwise.
double damped(double numerator, double denominator) {
    if (!(denominator > 0)) return numerator > 0 ? 1 : 0;
    return std::clamp(numerator / denominator, 0.0, 1.0);
}

}  // namespace

InteractiveTransition::InteractiveTransition(TransitionType type, GestureDirection direction)
    : direct_(direction), type_(type) {}

double InteractiveTransition::progress(GestureDirection direction, gfx::Point translation,
                                       gfx::Size size) {
    switch (direction) {
    case GestureDirection::Left:
        return damped(translation.x, translation.x + size.width);
    case GestureDirection::Right:
        return damped(-translation.x, translation.x + size.width);
    case GestureDirection::Up:
    case GestureDirection::Down:
        return damped(translation.y, translation.y + size.height);
    }
    return 0;
}

void InteractiveTransition::handleGestureWithPan(ui::GestureRecognizer& recognizer) {
    auto* pan = dynamic_cast<ui::PanGestureRecognizer*>(&recognizer);
    const ui::View* view = recognizer.view();
    if (!pan || !view) return;
    const gfx::Size size = view->frame().size;
    const gfx::Point translation = pan->translationInView(view);
    logNumber("", size.width);
    core::Console::log(gestureDirectionName(direct_));
    if (direct_ == GestureDirection::Left || direct_ == GestureDirection::Right) {
        logNumber("tranX:", translation.x);
    } else {
        logNumber("tranY:", translation.y);
    }
    const double percent = progress(direct_, translation, size);
    logNumber("percent:", percent);

    switch (recognizer.state()) {
    case ui::GestureState::Began:
        interaction_ = true;
        if (type_ != TransitionType::Dismiss) break;
        if (const auto controller = vc_.lock()) controller->dismissViewController(true);
        break;
    case ui::GestureState::Changed:
        update(percent);
        break;
    case ui::GestureState::Ended:
        interaction_ = false;
        if (percent > kFinishThreshold) {
            core::Console::log("finish");
            finish();
        } else {
            core::Console::log("cancel");
            cancel();
        }
        break;
    case ui::GestureState::Cancelled:
    case ui::GestureState::Failed:
        if (!interaction_) break;
        interaction_ = false;
        core::Console::log("cancel");
        cancel();
        break;
    case ui::GestureState::Possible:
        break;
    }
}

}  // namespace app
