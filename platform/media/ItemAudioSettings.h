#pragma once
// How loud one item's audio plays: its player's volume and mute and the
// item's audio mix. The item keeps it up to date on the main thread; the
// audio output reads it while it mixes.
//
// Safe from any thread.

#include <cstdint>
#include <mutex>
#include <optional>

#include "media/AudioMix.h"

namespace media {

class ItemAudioSettings {
public:
    void setPlayerLevel(float volume, bool muted);
    void setMix(std::optional<AudioMix> mix);

    // The factor a track's samples are played with: 0 when muted, else the
    // player's volume times the mix's volume for the track, within 0..1.
    [[nodiscard]] float gain(std::int32_t trackID) const;

private:
    mutable std::mutex mutex_;
    float volume_ = 1;
    bool muted_ = false;
    std::optional<AudioMix> mix_;
};

}  // namespace media
