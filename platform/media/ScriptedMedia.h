#pragma once
// What the scripted engine plays for one URL. A value type.

#include <memory>
#include <optional>
#include <vector>

#include "media/AssetTrack.h"
#include "media/MediaError.h"
#include "media/PixelBuffer.h"
#include "media/TimeRange.h"

namespace media {

struct ScriptedFrame {
    double time = 0;
    std::shared_ptr<const PixelBuffer> buffer;
};

struct ScriptedMedia {
    std::vector<AssetTrack> tracks;
    // Seconds; nullopt: the media has no duration (it stays indefinite).
    std::optional<double> duration = 10.0;
    // False: items wait for ScriptedEngine::makeReady().
    bool readyAtOnce = true;
    // Asset loads and items fail with this instead.
    std::optional<MediaError> failure;
    bool likelyToKeepUp = true;
    bool bufferFull = false;
    // nullopt: everything is loaded (from 0 to the duration).
    std::optional<std::vector<TimeRange>> loadedRanges;
    // Delivered to the item's video outputs when it becomes ready.
    std::vector<ScriptedFrame> frames;
};

}  // namespace media
