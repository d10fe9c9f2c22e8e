#include "ads/foundation/DZThreading.h"

namespace ads {

void DZRunOnMainThread(std::function<void()> block) {
    if (!block) return;
    if (core::RunLoop::isMainThread()) {
        block();
        return;
    }
    core::Queue::main()->async(std::move(block));
}

void DZReleaseOnMainThread(std::shared_ptr<void> object) {
    if (!object || core::RunLoop::isMainThread()) return;
    core::Queue::main()->async([held = std::move(object)]() mutable { held.reset(); });
}

std::function<void(bool)> DZCompletionOnQueue(std::shared_ptr<core::Queue> queue,
                                              std::function<void(bool)> completion) {
    return [queue = std::move(queue), completion = std::move(completion)](bool success) {
        if (queue && completion) queue->async([completion, success] { completion(success); });
    };
}

std::shared_ptr<core::Queue> DZCreateQueueWithQoS(std::string_view label, long qosClass) {
    using Priority = core::Queue::Priority;
    Priority priority = Priority::Default;
    if (qosClass >= DZQoSUserInteractive) priority = Priority::UserInteractive;
    else if (qosClass >= DZQoSUserInitiated) priority = Priority::UserInitiated;
    else if (qosClass >= DZQoSDefault) priority = Priority::Default;
    else if (qosClass >= DZQoSUtility) priority = Priority::Utility;
    else if (qosClass > 0) priority = Priority::Background;
    return core::Queue::serial(std::string(label), priority);
}

std::string DZQueueLabel(std::string_view component) {
    return "com.dozuza.vuraz." + std::string(component);
}

void DZStopRunLoopOnThread(core::RunLoop& loop) {
    loop.post([] { DZThreadStop().stopCurrentRunLoop(); });
}

void DZThreadStop::stopCurrentRunLoop() {
    if (core::RunLoop::isMainThread()) return;
    core::RunLoop::current().stop();
}

}  // namespace ads
