#include "media/FFmpegInterrupt.h"

namespace media {

void FFmpegInterrupt::stop() {
    std::vector<std::function<void()>> hooks;
    {
        const std::lock_guard lock(mutex_);
        if (stopped_.exchange(true)) return;
        hooks.swap(hooks_);
    }
    for (auto& hook : hooks) hook();
}

void FFmpegInterrupt::onStop(std::function<void()> hook) {
    {
        const std::lock_guard lock(mutex_);
        if (!stopped_.load()) {
            hooks_.push_back(std::move(hook));
            return;
        }
    }
    hook();
}

int FFmpegInterrupt::callback(void* opaque) {
    return static_cast<const FFmpegInterrupt*>(opaque)->isStopped() ? 1 : 0;
}

}  // namespace media
