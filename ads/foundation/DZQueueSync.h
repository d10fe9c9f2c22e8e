#pragma once
// Waiting for a queue from code that may already run on it. A plain sync onto
// the current queue would deadlock (and core::Queue stops the process); here
// the block then runs inline, which is what the wait was for: everything the
// queue had started before is behind the caller already.

#include <functional>

#include "core/Queue.h"

namespace ads {

// Runs block synchronously on queue, or at once when the calling code is
// running on queue. Safe from any thread.
void DZSyncOnQueue(core::Queue& queue, const std::function<void()>& block);

}  // namespace ads
