#pragma once
// How an engine reports on one item. Frames go straight to the item's video
// outputs; every other report reaches the item on the main thread: at once
// when made there, else posted to the main queue in order (loaded ranges
// coalesced: a report still waiting is replaced by a newer one). Reports
// for an item that is gone are dropped.
//
// Safe from any thread.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "media/AssetInfo.h"
#include "media/ItemAudioSettings.h"
#include "media/MediaError.h"
#include "media/PlayerItemOutputs.h"
#include "media/TimeRange.h"

namespace media {

class PlayerItem;

class EngineItemSink {
public:
    EngineItemSink(std::weak_ptr<PlayerItem> item, std::shared_ptr<PlayerItemOutputs> outputs,
                   std::shared_ptr<ItemAudioSettings> audioSettings)
        : item_(std::move(item)),
          outputs_(std::move(outputs)),
          audioSettings_(std::move(audioSettings)) {}

    // How loud the item's sound plays, for the engine's audio.
    [[nodiscard]] const std::shared_ptr<ItemAudioSettings>& audioSettings() const {
        return audioSettings_;
    }

    // The media is ready to play: its tracks and duration.
    void ready(AssetInfo info);
    void fail(MediaError error);
    // complete: everything up to the media's end was loaded.
    void setLoadedRanges(std::vector<TimeRange> ranges, bool complete);
    void setLikelyToKeepUp(bool likely);
    void setBufferFull(bool full);
    // The outputs' epoch now; a seek starts a new one before the engine
    // hears of it. Frames decoded for an older epoch are dropped.
    [[nodiscard]] std::uint64_t frameEpoch() const { return outputs_->epoch(); }
    void deliverFrame(std::shared_ptr<const PixelBuffer> frame, double time, std::uint64_t epoch);
    // For the current epoch.
    void deliverFrame(std::shared_ptr<const PixelBuffer> frame, double time);

private:
    void apply(std::function<void(PlayerItem&)> change);
    void applyLatestRanges();

    const std::weak_ptr<PlayerItem> item_;
    const std::shared_ptr<PlayerItemOutputs> outputs_;
    const std::shared_ptr<ItemAudioSettings> audioSettings_;
    std::mutex mutex_;
    std::optional<std::pair<std::vector<TimeRange>, bool>> latestRanges_;
};

}  // namespace media
