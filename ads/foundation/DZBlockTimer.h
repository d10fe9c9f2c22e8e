#pragma once
// Timers that call a block, always on the main run loop, whatever thread
// made them (so they also fire while the user scrolls).

#include <functional>
#include <memory>

#include "core/Timer.h"

namespace ads {

class DZBlockTimerTarget {
public:
    using Block = std::function<void(core::Timer&)>;

    explicit DZBlockTimerTarget(Block block) : block_(std::move(block)) {}
    // Calls the block with the timer; nothing without a block.
    void timerFired(core::Timer& timer) const;

private:
    Block block_;
};

// Makes and schedules a timer on the main run loop. A tolerance above 0 is
// set on the timer; 0 or less leaves it without one. The caller keeps the
// timer and invalidates it to stop it; the timer owns the block.
[[nodiscard]] std::shared_ptr<core::Timer> DZCreateBlockTimer(bool repeats,
                                                              DZBlockTimerTarget::Block block,
                                                              double interval, double tolerance);

}  // namespace ads
