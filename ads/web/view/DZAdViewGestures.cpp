// DZAdView: the debug gesture and the touch recognizer of the signal module.

#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZWiggleGestureRecognizer.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/presentation/debug/DZDebugOptionsViewController.h"
#include "ads/presentation/fullscreen/DZOverlayProxy.h"
#include "ads/web/view/DZAdView.h"
#include "core/Clock.h"

namespace ads {

void DZAdView::addGestureRecognizers() {
    if (debugGestureRecognizer_ && touchGestureRecognizer_) return;
    const std::weak_ptr<ui::View> weak = weak_from_this();

    debugGestureRecognizer_ =
        std::make_shared<DZWiggleGestureRecognizer>([weak](ui::GestureRecognizer& recognizer) {
            if (const auto view = weak.lock())
                std::static_pointer_cast<DZAdView>(view)->handleGesture(recognizer);
        });
    const auto self = std::static_pointer_cast<DZAdView>(weak.lock());
    debugGestureRecognizer_->setDelegate(self);
    addGestureRecognizer(debugGestureRecognizer_);

    touchGestureRecognizer_ = std::make_shared<DZTouchSignalRecognizer>();
    touchGestureRecognizer_->setDelegate(self);
    addGestureRecognizer(touchGestureRecognizer_);
}

bool DZAdView::shouldRecognizeSimultaneouslyWithGestureRecognizer(
    const ui::GestureRecognizer& recognizer, const ui::GestureRecognizer& other) {
    // Two debug gestures never recognize together; anything else may.
    return &recognizer != debugGestureRecognizer_.get() ||
           dynamic_cast<const DZWiggleGestureRecognizer*>(&other) == nullptr;
}

bool DZAdView::gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer& recognizer,
                                                   const ui::Touch&) {
    if (&recognizer == touchGestureRecognizer_.get()) noteTouch();
    return true;
}

void DZAdView::gestureRecognizerDidEndTouch(ui::GestureRecognizer& recognizer, const ui::Touch&) {
    if (&recognizer == touchGestureRecognizer_.get()) noteTouch();
}

void DZAdView::noteTouch() {
    touched_ = true;
    lastTouchSeconds_ = core::Clock::current()->monotonicSeconds();
}

bool DZAdView::touchedWithin(double seconds) const {
    if (!lastTouchSeconds_) return false;
    const double since = core::Clock::current()->monotonicSeconds() - *lastTouchSeconds_;
    return since >= 0 && since <= seconds;
}

void DZAdView::handleGesture(ui::GestureRecognizer& recognizer) {
    if (!showDebug_ || recognizer.state() != ui::GestureState::Recognized) return;
    // The opener's slot names the ad unit.
    const auto opener = this->opener();
    const auto slot = opener ? opener->slot() : nullptr;
    auto menu = DZDebugOptionsViewController::debugOptionsViewControllerWithAdUnitID(
        slot ? slot->adUnitID() : std::nullopt);
    menu->setAdDebugDialogString(adDebugDialogString_);
    if (const auto proxy = DZOverlayProxy::create(menu)) {
        proxy->setSlot(slot);
        (void)proxy->presentFromViewController(viewController(), nullptr);
    }
}

}  // namespace ads
