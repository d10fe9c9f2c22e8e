#include "display/MainLoopDriver.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/RunLoop.h"

namespace display {

namespace {
constexpr double kLongestWait = 3600;
}  // namespace

MainLoopDriver::MainLoopDriver(std::function<void()> wake)
    : wakePending_(std::make_shared<std::atomic<bool>>(false)) {
    core::RunLoop::main().setWakeObserver([pending = wakePending_, wake = std::move(wake)] {
        if (!pending->exchange(true) && wake) wake();
    });
}

MainLoopDriver::~MainLoopDriver() {
    core::RunLoop::main().setWakeObserver({});
}

size_t MainLoopDriver::runDueWork(int maxPasses) {
    // Work posted from here on signals again.
    wakePending_->store(false);
    core::RunLoop& loop = core::RunLoop::main();
    size_t ran = 0;
    for (int pass = 0; pass < maxPasses; ++pass) {
        const auto until = loop.secondsUntilWork();
        if (!until || *until > 0) break;
        ran += loop.runOnce(0);
    }
    return ran;
}

int MainLoopDriver::waitMilliseconds() const {
    return toMilliseconds(core::RunLoop::main().secondsUntilWork());
}

int MainLoopDriver::toMilliseconds(std::optional<double> seconds) {
    if (!seconds || std::isnan(*seconds)) return -1;
    const double bounded = std::clamp(*seconds, 0.0, kLongestWait);
    return int(std::ceil(bounded * 1000 - 1e-6));
}

}  // namespace display
