#pragma once
// One track of an asset as the engine found it. A value type.

#include <cstdint>

#include "gfx/Geometry.h"

namespace media {

enum class MediaType { video, audio, other };

struct AssetTrack {
    MediaType mediaType = MediaType::other;
    // The container's own track number; stays the same whether or not the
    // track is decoded.
    std::int32_t trackID = 0;
    // Pixels of a decoded frame before the preferred transform; zero for
    // tracks that are not video.
    gfx::Size naturalSize;
    // How frames are turned for display (the container's display matrix);
    // (0, 1, -1, 0) for a clip shown turned 90 degrees clockwise.
    gfx::AffineTransform preferredTransform;
    // Bits per second; 0 when unknown.
    float estimatedDataRate = 0;

    friend bool operator==(const AssetTrack&, const AssetTrack&) = default;
};

}  // namespace media
