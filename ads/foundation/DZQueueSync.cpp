#include "ads/foundation/DZQueueSync.h"

namespace ads {

void DZSyncOnQueue(core::Queue& queue, const std::function<void()>& block) {
    if (!block) return;
    if (queue.isCurrent()) {
        block();
        return;
    }
    queue.sync(block);
}

}  // namespace ads
