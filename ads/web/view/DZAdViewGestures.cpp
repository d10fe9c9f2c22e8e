// DZAdView: the debug gesture and the touch recognizer of the signal module.

#include "ads/foundation/DZWiggleGestureRecognizer.h"
#include "ads/presentation/DZDebugOptionsViewController.h"
#include "ads/presentation/DZOverlayProxy.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

void DZAdView::addGestureRecognizers() {
    if (debugGestureRecognizer_ && touchGestureRecognizer_) return;
    const std::weak_ptr<ui::View> weak = weak_from_this();

    debugGestureRecognizer_ =
        std::make_shared<DZWiggleGestureRecognizer>([weak](ui::GestureRecognizer& recognizer) {
            if (const auto view = weak.lock())
                std::static_pointer_cast<DZAdView>(view)->handleGesture(recognizer);
        });
    // Two debug gestures never recognize together; anything else may.
    debugGestureRecognizer_->setRecognizesSimultaneously([](const ui::GestureRecognizer& other) {
        return dynamic_cast<const DZWiggleGestureRecognizer*>(&other) == nullptr;
    });
    addGestureRecognizer(debugGestureRecognizer_);

    auto touch = std::make_shared<DZTouchSignalRecognizer>();
    touch->setDelegate(std::static_pointer_cast<DZAdView>(weak.lock()));
    touch->setRecognizesSimultaneously([](const ui::GestureRecognizer&) { return true; });
    touchGestureRecognizer_ = touch;
    addGestureRecognizer(touchGestureRecognizer_);
}

bool DZAdView::gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer& recognizer,
                                                   const ui::Touch&) {
    if (&recognizer == touchGestureRecognizer_.get()) touched_ = true;
    return true;
}

void DZAdView::handleGesture(ui::GestureRecognizer& recognizer) {
    if (!showDebug_ || recognizer.state() != ui::GestureState::Recognized) return;
    // The opener's slot names the ad unit; slots are not built yet.
    auto menu = DZDebugOptionsViewController::debugOptionsViewControllerWithAdUnitID(std::nullopt);
    menu->setAdDebugDialogString(adDebugDialogString_);
    DZOverlayProxy(menu).presentFromViewController(viewController());
}

}  // namespace ads
