#pragma once
// Walks a view tree for content hashing without holding the main thread:
// the walk itself runs on the caller's (main) thread, and each view's visit
// is queued on the low-priority serial queue "com.dozuza.vuraz.view-hierarchy",
// from where it runs synchronously on the main thread, unless the view is
// gone by then. Visits run depth first, the last subview first; the
// completion follows all of them, on the main queue.
//
// Threading: call traverseView on the main thread; one traversal at a time.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/Queue.h"
#include "ui/View.h"

namespace ads {

class DZViewHierarchyTraverser : public std::enable_shared_from_this<DZViewHierarchyTraverser> {
public:
    using TraversalBlock = std::function<void(ui::View& view, std::int64_t sequenceNumber)>;
    using CompletionBlock = std::function<void(bool finished)>;

    [[nodiscard]] static std::shared_ptr<DZViewHierarchyTraverser> create();

    // Without a view or a block, or while a traversal runs, the completion
    // gets false on the main queue and nothing else happens.
    void traverseView(const std::shared_ptr<ui::View>& view, TraversalBlock traversalBlock,
                      CompletionBlock completionBlock);

    [[nodiscard]] bool isTraversing() const { return traversing_; }
    void setTraversing(bool traversing) { traversing_ = traversing; }
    [[nodiscard]] std::int64_t sequenceNumber() const { return sequenceNumber_; }

private:
    DZViewHierarchyTraverser();

    std::atomic<bool> traversing_{false};
    std::int64_t sequenceNumber_ = 0;
    std::shared_ptr<core::Queue> lowPrioritySerialQueue_;
};

}  // namespace ads
