// View::animate: the end state is set at once; the completion follows the
// clock. Nested blocks share the timing of the outermost one.

#include <algorithm>
#include <utility>
#include <vector>

#include "core/Queue.h"
#include "ui/AnimationActivity.h"
#include "ui/AnimationCompletionCapture.h"
#include "ui/View.h"

namespace ui {

namespace {

// Seconds from now until the outermost running block ends (main thread only).
std::vector<double> runningAnimations;

class AnimationScope {
public:
    explicit AnimationScope(double seconds) {
        runningAnimations.push_back(runningAnimations.empty() ? seconds
                                                              : runningAnimations.front());
    }
    ~AnimationScope() { runningAnimations.pop_back(); }
    AnimationScope(const AnimationScope&) = delete;
    AnimationScope& operator=(const AnimationScope&) = delete;

    [[nodiscard]] double seconds() const { return runningAnimations.back(); }
};

}  // namespace

void View::animate(double duration, const std::function<void()>& animations,
                   std::function<void(bool finished)> completion, AnimationOptions options) {
    double seconds = 0;
    {
        const AnimationScope scope(std::max(0.0, options.delay) + std::max(0.0, duration));
        seconds = scope.seconds();
        if (animations) animations();
    }
    if (!completion) return;
    if (auto* capture = AnimationCompletionCapture::current()) {
        capture->add(std::move(completion));
        return;
    }
    AnimationActivity::began();
    auto finish = [completion = std::move(completion)] {
        AnimationActivity::ended();
        completion(true);
    };
    if (seconds > 0) {
        core::Queue::main()->after(seconds, std::move(finish));
    } else {
        core::Queue::main()->async(std::move(finish));
    }
}

bool View::isInsideAnimation() {
    return !runningAnimations.empty();
}

}  // namespace ui
