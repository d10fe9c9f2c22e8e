#pragma once
// Content hashing of the SDK application object: while started, every
// traversal interval it walks the top view controller's view, feeds each
// view's text into a new DZContent on the serial queue
// "com.dozuza.vuraz.content-hashing", and once the walk is complete stores
// the content's fingerprint in the queue of recent contents (after removing
// an older equal one). Ad requests take the best-scored fingerprint, which
// then loses score.
//
// The SDK application object owns one of these; until it exists, the view
// comes from a provider (by default the key window's topmost presented
// controller).
//
// Threading: start and stop on the main thread. The content queue is
// changed only on the hashing queue; fingerprintWithServedPenaltyDeduction
// may be called from any thread and does its read and deduction there too
// (or under the same lock once hashing has stopped).

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "ads/foundation/DZContentQueue.h"
#include "ads/foundation/DZScheduler.h"
#include "ads/foundation/DZViewHierarchyTraverser.h"
#include "core/Queue.h"
#include "ui/View.h"

namespace ads {

class DZContentHashing : public std::enable_shared_from_this<DZContentHashing> {
public:
    static constexpr std::string_view kQueueCapacityKey =
        "/dozuza/ads/content_queue_maximum_capacity";
    static constexpr std::string_view kTraversalIntervalKey = "/dozuza/ads/traversal_interval";
    static constexpr std::int64_t kDefaultQueueCapacity = 10;
    static constexpr double kDefaultTraversalInterval = 10.0;

    // The view to traverse (main thread); nullptr skips a run.
    using ViewProvider = std::function<std::shared_ptr<ui::View>()>;
    // The text a view shows (main thread).
    using TextReader = std::function<std::string(ui::View& view)>;

    // Empty arguments take the defaults below.
    [[nodiscard]] static std::shared_ptr<DZContentHashing> create(ViewProvider viewProvider = {},
                                                                  TextReader textReader = {});

    // Does nothing while started. The first traversal runs one interval
    // after the start.
    void startContentHashing();
    // Keeps the contents already queued.
    void stopContentHashing();
    [[nodiscard]] bool isHashing() const;
    // The best-scored fingerprint after deducting the served penalty from
    // its content; nullopt when no content has a score above 0.
    [[nodiscard]] std::optional<std::string> fingerprintWithServedPenaltyDeduction();

    // Runs the block with the content queue (nullptr before the first
    // start) under the queue's lock.
    void withContentQueue(const std::function<void(const DZContentQueue* queue)>& block) const;

    // The view of the key window's topmost presented controller.
    [[nodiscard]] static std::shared_ptr<ui::View> topViewControllerView();
    // The text of labels and text fields; "" for other views.
    [[nodiscard]] static std::string textOfView(ui::View& view);

private:
    DZContentHashing(ViewProvider viewProvider, TextReader textReader);
    void traverse();

    const ViewProvider viewProvider_;
    const TextReader textReader_;
    std::shared_ptr<DZScheduler> scheduler_;
    std::shared_ptr<DZViewHierarchyTraverser> traverser_;

    mutable std::mutex mutex_;  // guards the two members below
    std::shared_ptr<core::Queue> serialQueue_;
    std::shared_ptr<DZContentQueue> contentQueue_;
};

}  // namespace ads
