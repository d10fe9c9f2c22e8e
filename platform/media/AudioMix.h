#pragma once
// Per-track volumes an item applies to its sound. A value type. Volumes
// apply from the start: atTime is kept, not followed.

#include <cstdint>
#include <vector>

#include "media/Time.h"

namespace media {

struct AudioMixInputParameters {
    std::int32_t trackID = 0;
    float volume = 1;
    Time atTime = Time::zero();

    friend bool operator==(const AudioMixInputParameters&,
                           const AudioMixInputParameters&) = default;
};

struct AudioMix {
    std::vector<AudioMixInputParameters> inputParameters;

    // The volume set for a track (the last entry for it), 1 without one.
    [[nodiscard]] float volumeForTrack(std::int32_t trackID) const {
        float volume = 1;
        for (const auto& parameters : inputParameters) {
            if (parameters.trackID == trackID) volume = parameters.volume;
        }
        return volume;
    }

    friend bool operator==(const AudioMix&, const AudioMix&) = default;
};

}  // namespace media
