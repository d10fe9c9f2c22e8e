#include "ads/foundation/DZViewHierarchyTraverser.h"

#include <vector>

#include "ads/foundation/DZThreading.h"

namespace ads {

std::shared_ptr<DZViewHierarchyTraverser> DZViewHierarchyTraverser::create() {
    return std::shared_ptr<DZViewHierarchyTraverser>(new DZViewHierarchyTraverser());
}

DZViewHierarchyTraverser::DZViewHierarchyTraverser()
    : lowPrioritySerialQueue_(
          DZCreateQueueWithQoS(DZQueueLabel("view-hierarchy"), DZQoSBackground)) {}

void DZViewHierarchyTraverser::traverseView(const std::shared_ptr<ui::View>& view,
                                            TraversalBlock traversalBlock,
                                            CompletionBlock completionBlock) {
    if (!view || !traversalBlock || traversing_) {
        if (completionBlock) {
            core::Queue::main()->async([completionBlock] { completionBlock(false); });
        }
        return;
    }
    traversing_ = true;
    const std::int64_t number = ++sequenceNumber_;
    const auto block = std::make_shared<TraversalBlock>(std::move(traversalBlock));

    std::vector<std::shared_ptr<ui::View>> stack{view};
    while (!stack.empty()) {
        const std::shared_ptr<ui::View> current = std::move(stack.back());
        stack.pop_back();
        const std::weak_ptr<ui::View> weakView = current;
        lowPrioritySerialQueue_->async([weakView, block, number] {
            // The view is locked only on the main thread, so that its last
            // reference never goes away here.
            core::Queue::main()->sync([&] {
                if (const auto visited = weakView.lock()) (*block)(*visited, number);
            });
        });
        for (const auto& subview : current->subviews()) stack.push_back(subview);
    }

    lowPrioritySerialQueue_->async([self = shared_from_this(), completionBlock] {
        core::Queue::main()->async([self, completionBlock] {
            if (completionBlock) completionBlock(true);
            self->traversing_ = false;
        });
    });
}

}  // namespace ads
