#pragma once
// What an engine found out about an asset by probing it. A value type.

#include <vector>

#include "media/AssetTrack.h"
#include "media/Time.h"

namespace media {

struct AssetInfo {
    std::vector<AssetTrack> tracks;
    // Indefinite when the media does not say.
    Time duration = Time::indefinite();

    friend bool operator==(const AssetInfo&, const AssetInfo&) = default;
};

}  // namespace media
