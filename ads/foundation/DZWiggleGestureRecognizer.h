#pragma once
// The side-to-side finger gesture that opens the SDK's debug options menu
// on an ad: one finger moves right, left, right and left, each of the first
// three legs at least 15 points long, never more than 5 points vertically
// in one step, and lifts. Main thread only.

#include <cstdint>

#include "ui/GestureRecognizer.h"

namespace ads {

class DZWiggleGestureRecognizer : public ui::GestureRecognizer {
public:
    static constexpr double kMinimumLegLength = 15.0;
    static constexpr double kMaximumVerticalStep = 5.0;

    using ui::GestureRecognizer::GestureRecognizer;

    void reset() override;
    void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
    void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
    void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
    void touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) override;

    [[nodiscard]] static bool isMovementInYAxis(gfx::Point current, gfx::Point previous);
    [[nodiscard]] std::int64_t gestureState() const { return gestureState_; }

private:
    void failAndReset();
    // One step of the current leg; false when the step fails the gesture.
    [[nodiscard]] bool advance(double dx, bool right, bool left);

    double distanceMoved_ = 0;
    std::int64_t gestureState_ = 0;
};

}  // namespace ads
