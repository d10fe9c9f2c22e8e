#include "media/ItemAudioSettings.h"

#include <algorithm>
#include <cmath>

namespace media {

void ItemAudioSettings::setPlayerLevel(float volume, bool muted) {
    const std::lock_guard lock(mutex_);
    volume_ = volume;
    muted_ = muted;
}

void ItemAudioSettings::setMix(std::optional<AudioMix> mix) {
    const std::lock_guard lock(mutex_);
    mix_ = std::move(mix);
}

float ItemAudioSettings::gain(std::int32_t trackID) const {
    const std::lock_guard lock(mutex_);
    if (muted_) return 0;
    const float gain = volume_ * (mix_ ? mix_->volumeForTrack(trackID) : 1.0f);
    // NaN reads as silence.
    return std::isnan(gain) ? 0 : std::clamp(gain, 0.0f, 1.0f);
}

}  // namespace media
