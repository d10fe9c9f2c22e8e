#include "media/EngineItemSink.h"

#include "core/Queue.h"
#include "core/RunLoop.h"
#include "media/PlayerItem.h"

namespace media {

void EngineItemSink::apply(std::function<void(PlayerItem&)> change) {
    if (core::RunLoop::isMainThread()) {
        if (const auto item = item_.lock()) change(*item);
        return;
    }
    core::Queue::main()->async([weak = item_, change = std::move(change)] {
        if (const auto item = weak.lock()) change(*item);
    });
}

void EngineItemSink::ready(AssetInfo info) {
    apply([info = std::move(info)](PlayerItem& item) { item.applyReady(info); });
}

void EngineItemSink::fail(MediaError error) {
    apply([error = std::move(error)](PlayerItem& item) { item.applyFailure(error); });
}

void EngineItemSink::setLoadedRanges(std::vector<TimeRange> ranges, bool complete) {
    bool post = false;
    {
        const std::lock_guard lock(mutex_);
        post = !latestRanges_.has_value();
        latestRanges_ = std::make_pair(std::move(ranges), complete);
    }
    if (!post) return;
    // Runs only while the item, which owns this sink, is there.
    apply([this](PlayerItem&) { applyLatestRanges(); });
}

void EngineItemSink::applyLatestRanges() {
    std::optional<std::pair<std::vector<TimeRange>, bool>> latest;
    {
        const std::lock_guard lock(mutex_);
        latest.swap(latestRanges_);
    }
    if (!latest) return;
    if (const auto item = item_.lock())
        item->applyLoadedRanges(std::move(latest->first), latest->second);
}

void EngineItemSink::setLikelyToKeepUp(bool likely) {
    apply([likely](PlayerItem& item) { item.applyLikelyToKeepUp(likely); });
}

void EngineItemSink::setBufferFull(bool full) {
    apply([full](PlayerItem& item) { item.applyBufferFull(full); });
}

void EngineItemSink::deliverFrame(std::shared_ptr<const PixelBuffer> frame, double time,
                                  std::uint64_t epoch) {
    outputs_->deliver(std::move(frame), time, epoch);
}

void EngineItemSink::deliverFrame(std::shared_ptr<const PixelBuffer> frame, double time) {
    outputs_->deliver(std::move(frame), time, outputs_->epoch());
}

}  // namespace media
