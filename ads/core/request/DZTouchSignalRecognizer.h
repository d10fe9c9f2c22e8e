#pragma once
// The touch recognizer of the SDK's signal module, which an ad view
// attaches to itself: it asks its delegate (when that is a
// DZTouchSignalRecognizerDelegate) about every touch that begins on the view
// or its subviews, and never recognizes a gesture, so it takes no touch
// away from the page or from other recognizers. The touches it receives
// become the click-signal module's latest touch (DZGestureRecognizer).
// Main thread only.

#include <memory>

#include "ads/core/click/DZClickSignal.h"
#include "ui/GestureRecognizer.h"

namespace ads {

class DZTouchSignalRecognizer;

class DZTouchSignalRecognizerDelegate : public ui::GestureRecognizerDelegate {
public:
    // False: the recognizer ignores the touch.
    virtual bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer& recognizer,
                                                     const ui::Touch& touch) = 0;
    // A touch the recognizer received was lifted.
    virtual void gestureRecognizerDidEndTouch(ui::GestureRecognizer&, const ui::Touch&) {}
};

class DZTouchSignalRecognizer : public DZGestureRecognizer {
public:
    DZTouchSignalRecognizer();

    void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
    void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
};

}  // namespace ads
