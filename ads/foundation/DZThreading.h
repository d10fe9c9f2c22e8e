#pragma once
// How SDK work reaches the main thread and how the SDK makes its queues.
//
// DZRunOnMainThread is the SDK's one road to the main thread: on the main
// thread it runs the block before returning, elsewhere it submits the block
// asynchronously to the main queue. Every SDK delegate callback goes
// through it.

#include <functional>
#include <memory>
#include <string_view>

#include "core/Queue.h"
#include "core/RunLoop.h"

namespace ads {

void DZRunOnMainThread(std::function<void()> block);

// Off the main thread, hands the last reference of object to the main queue
// so that it is released there; on the main thread does nothing (the
// caller's reference goes away where it is).
void DZReleaseOnMainThread(std::shared_ptr<void> object);

// A success callback that hands its flag to completion asynchronously on
// queue; it does nothing unless both are given.
[[nodiscard]] std::function<void(bool)> DZCompletionOnQueue(std::shared_ptr<core::Queue> queue,
                                                            std::function<void(bool)> completion);

// Quality-of-service classes of the SDK's queues.
enum DZQoSClass : long {
    DZQoSUserInteractive = 33,
    DZQoSUserInitiated = 25,
    DZQoSDefault = 21,
    DZQoSUtility = 17,
    DZQoSBackground = 9,
};

// A new serial queue with the given label at the priority of the class.
// Every queue the SDK makes is serial.
[[nodiscard]] std::shared_ptr<core::Queue> DZCreateQueueWithQoS(std::string_view label, long qosClass);

// The label of an SDK queue: "com.dozuza.vuraz." and the component's name.
[[nodiscard]] std::string DZQueueLabel(std::string_view component);

// Ends one run of the given thread's run loop, without waiting; the main run
// loop is never stopped this way.
void DZStopRunLoopOnThread(core::RunLoop& loop);

class DZThreadStop {
public:
    // Stops the current run of the calling thread's run loop, unless the
    // calling thread is the main thread.
    void stopCurrentRunLoop();
};

}  // namespace ads
