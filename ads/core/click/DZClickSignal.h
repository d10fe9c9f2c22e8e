#pragma once
// The SDK's click and touch signals: what a click URL may carry about the
// touch that led to it, so that the ad server can tell a tap of a person
// from a scripted open.
//
// - DZGestureRecognizer, attached to an ad view, keeps the latest touch on
//   it: where it began (in the view's points), when, and how long it was
//   held. It never recognizes a gesture and takes no touch from the view.
// - DZGestureClickSignal turns the "ai" value of a click URL into one
//   "nb=<value>" pair when a touch is known: the value is
//   "<x>.<y>.<held ms>.<age ms>.<check>", the touch's whole-point position,
//   how long it was held, how long ago it ended (at most an hour, else no
//   signal), and the first 16 hex digits of an FNV-1a hash of the "ai" value
//   and the four numbers, which ties the touch to that click. No "ai" value
//   or no touch: no signal.
// - DZGestureTouchSignal does the same for a touch an ad page reports (its
//   position and duration) without "ai": "nt=<x>.<y>.<held ms>.<check>".
//
// Every value is made of digits, letters, "-" and ".", so it needs no escaping
// and splits at its one "=". Main thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ui/GestureRecognizer.h"

namespace ads {

struct DZTouchRecord {
    double x = 0;
    double y = 0;
    // When the touch began and how long it was held, in seconds of the
    // monotonic clock.
    double began = 0;
    double held = 0;
    // When it ended; nullopt while it is still down.
    std::optional<double> ended;
};

class DZGestureRecognizer : public ui::GestureRecognizer {
public:
    DZGestureRecognizer();

    void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
    void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
    void touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) override;
};

// The latest touch any recognizer saw; nullopt before the first.
[[nodiscard]] std::optional<DZTouchRecord> DZLatestTouch();
void DZForgetLatestTouchForTesting();

// Writes one "name=value" pair into signal and answers whether it did.
[[nodiscard]] bool DZGestureClickSignal(std::string_view ai, std::string& signal);
[[nodiscard]] bool DZGestureTouchSignal(double x, double y, double heldSeconds,
                                        std::string& signal);

}  // namespace ads
