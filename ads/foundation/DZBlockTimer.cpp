#include "ads/foundation/DZBlockTimer.h"

#include "core/RunLoop.h"

namespace ads {

void DZBlockTimerTarget::timerFired(core::Timer& timer) const {
    if (block_) block_(timer);
}

std::shared_ptr<core::Timer> DZCreateBlockTimer(bool repeats, DZBlockTimerTarget::Block block,
                                                double interval, double tolerance) {
    auto target = std::make_shared<DZBlockTimerTarget>(std::move(block));
    auto timer = core::Timer::create(interval, repeats,
                                     [target](core::Timer& fired) { target->timerFired(fired); });
    if (tolerance > 0) timer->setTolerance(tolerance);
    core::RunLoop::main().add(timer);
    return timer;
}

}  // namespace ads
