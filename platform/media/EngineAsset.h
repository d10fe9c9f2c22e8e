#pragma once
// An engine's side of one URL asset: it loads the asset's properties and
// starts the media of items made of it.

#include <functional>
#include <memory>
#include <variant>

#include "media/AssetInfo.h"
#include "media/EngineItem.h"
#include "media/ItemTimebase.h"
#include "media/MediaError.h"

namespace media {

class EngineItemSink;

class EngineAsset {
public:
    using LoadResult = std::variant<AssetInfo, MediaError>;
    using LoadReply = std::function<void(const LoadResult&)>;

    virtual ~EngineAsset() = default;

    // Probes the asset once; reply runs once, on an engine thread or the
    // main queue. Any thread.
    virtual void load(LoadReply reply) = 0;
    // Stops a load under way: its reply then reports a cancelled error.
    // Any thread.
    virtual void cancelLoading() = 0;
    // Starts an item's media from timebase's current time; main thread.
    [[nodiscard]] virtual std::unique_ptr<EngineItem>
    play(std::shared_ptr<EngineItemSink> sink, std::shared_ptr<ItemTimebase> timebase) = 0;
};

}  // namespace media
