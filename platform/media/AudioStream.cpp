#include "media/AudioStream.h"

#include <algorithm>
#include <cmath>

#include "media/AudioDevice.h"

namespace media {

namespace {

constexpr double kRate = kAudioSampleRate;
constexpr std::size_t kChannels = kAudioChannels;
// Frames kept behind the mix's place, so that a resume or a device that
// asked ahead can step back a little.
constexpr std::int64_t kHistoryFrames = kAudioSampleRate / 4;
// Further from the timebase than this, the mix jumps to it.
constexpr double kSnapFrames = 0.03 * kRate;
// Within this, it is where it should be.
constexpr double kDeadZoneFrames = 2;
// A drift is worked off at this share of itself per frame, at most
// kMaxCorrection faster or slower.
constexpr double kCorrection = 1 / (0.5 * kRate);
constexpr double kMaxCorrection = 0.005;
// Volume changes ramp over this many frames.
constexpr std::size_t kRampFrames = kAudioSampleRate / 200;
// Pushed samples this far off the end of what is queued count as a gap (or
// an overlap); gaps up to kMaxGapFrames are filled with silence, longer
// ones start the time line again.
constexpr std::int64_t kGapFrames = kAudioSampleRate / 200;
constexpr std::int64_t kMaxGapFrames = 10 * kAudioSampleRate;

}  // namespace

AudioStream::AudioStream(std::shared_ptr<ItemTimebase> timebase,
                         std::shared_ptr<ItemAudioSettings> settings)
    : timebase_(std::move(timebase)), settings_(std::move(settings)) {}

void AudioStream::setTrack(std::int32_t trackID) {
    {
        const std::lock_guard lock(mutex_);
        trackID_ = trackID;
    }
    hasSound_ = true;
}

std::uint64_t AudioStream::flush() {
    const std::lock_guard lock(mutex_);
    ++epoch_;
    based_ = false;
    ended_ = false;
    synced_ = false;
    samples_.clear();
    head_ = 0;
    first_ = end_ = 0;
    return epoch_;
}

std::uint64_t AudioStream::epoch() const {
    const std::lock_guard lock(mutex_);
    return epoch_;
}

void AudioStream::push(const float* samples, std::size_t frames, double time,
                       std::uint64_t epoch) {
    if (frames == 0 || !std::isfinite(time)) return;
    const double now = timebase_->seconds();
    const std::lock_guard lock(mutex_);
    if (epoch != epoch_ || ended_) return;
    std::int64_t gap = 0;
    if (based_) {
        gap = std::llround((time - base_) * kRate) - end_;
        if (gap > kMaxGapFrames) based_ = false;
    }
    if (!based_) {
        based_ = true;
        synced_ = false;
        base_ = time;
        samples_.clear();
        head_ = 0;
        first_ = end_ = gap = 0;
    }
    std::size_t skip = 0;
    if (gap > kGapFrames) {
        samples_.resize(samples_.size() + static_cast<std::size_t>(gap) * kChannels, 0.0f);
        end_ += gap;
    } else if (gap < -kGapFrames) {
        skip = std::min(frames, static_cast<std::size_t>(-gap));
    }
    samples_.insert(samples_.end(), samples + skip * kChannels, samples + frames * kChannels);
    end_ += static_cast<std::int64_t>(frames - skip);
    // Without a device nobody mixes: what is past goes here.
    trimBefore(static_cast<std::int64_t>((now - base_) * kRate) - kHistoryFrames);
}

void AudioStream::endInput(std::uint64_t epoch) {
    const std::lock_guard lock(mutex_);
    if (epoch == epoch_) ended_ = true;
}

void AudioStream::mix(float* out, std::size_t frames, double hostTime, bool audible) {
    if (!hasSound_) return;
    const ItemTimebase::State state = timebase_->state();
    const std::lock_guard lock(mutex_);
    const float gain = audible ? settings_->gain(trackID_) : 0.0f;
    if (!(state.rate > 0) || !based_) {
        synced_ = false;
        gain_ = gain;
        return;
    }
    const double now = state.secondsAt(hostTime);
    std::size_t moving = frames;
    if (std::isfinite(state.limit)) {
        const double left = (state.limit - now) / state.rate * kRate;
        moving = left <= 0 ? 0 : std::min(frames, static_cast<std::size_t>(std::ceil(left)));
    }
    const double wanted = (now - base_) * kRate;
    const double drift = wanted - position_;
    double step = state.rate;
    if (!synced_ || std::abs(drift) > kSnapFrames) {
        // A start or a jump: no ramp from the level before.
        position_ = std::round(wanted);
        synced_ = true;
        gain_ = gain;
    } else if (std::abs(drift) > kDeadZoneFrames) {
        step *= 1 + std::clamp(drift * kCorrection, -kMaxCorrection, kMaxCorrection);
    }
    render(out, moving, step, gain);
    trimBefore(static_cast<std::int64_t>(position_) - kHistoryFrames);
}

void AudioStream::render(float* out, std::size_t frames, double step, float gain) {
    const float from = gain_;
    gain_ = gain;
    if (from == 0 && gain == 0) {
        position_ += step * static_cast<double>(frames);
        return;
    }
    const std::size_t ramp = from == gain ? 0 : std::min(frames, kRampFrames);
    const auto frameAt = [this](std::int64_t index) {
        return samples_.data() + (static_cast<std::size_t>(index - first_) + head_) * kChannels;
    };
    std::size_t i = 0;
    // Whole frames at the rate of 1: a plain scaled copy.
    if (step == 1 && position_ == std::floor(position_)) {
        const auto start = static_cast<std::int64_t>(position_);
        for (; i < ramp; ++i) {
            const std::int64_t index = start + static_cast<std::int64_t>(i);
            if (index < first_ || index >= end_) continue;
            const float g = from + (gain - from) * static_cast<float>(i + 1) / static_cast<float>(ramp);
            const float* frame = frameAt(index);
            for (std::size_t c = 0; c < kChannels; ++c) out[i * kChannels + c] += g * frame[c];
        }
        const std::int64_t begin = std::max(start + static_cast<std::int64_t>(i), first_);
        const std::int64_t end = std::min(start + static_cast<std::int64_t>(frames), end_);
        if (begin < end) {
            const float* in = frameAt(begin);
            float* to = out + static_cast<std::size_t>(begin - start) * kChannels;
            const auto count = static_cast<std::size_t>(end - begin) * kChannels;
            for (std::size_t k = 0; k < count; ++k) to[k] += gain * in[k];
        }
        position_ += static_cast<double>(frames);
        return;
    }
    // Anything else: linear interpolation between the two frames around.
    for (; i < frames; ++i, position_ += step) {
        const double whole = std::floor(position_);
        const auto index = static_cast<std::int64_t>(whole);
        if (index < first_ || index + 1 >= end_) continue;
        const auto fraction = static_cast<float>(position_ - whole);
        const float g = i < ramp ? from + (gain - from) * static_cast<float>(i + 1) /
                                              static_cast<float>(ramp)
                                 : gain;
        const float* a = frameAt(index);
        const float* b = a + kChannels;
        for (std::size_t c = 0; c < kChannels; ++c)
            out[i * kChannels + c] += g * (a[c] + (b[c] - a[c]) * fraction);
    }
}

void AudioStream::trimBefore(std::int64_t index) {
    if (index <= first_) return;
    const std::int64_t count = std::min(index, end_) - first_;
    head_ += static_cast<std::size_t>(count);
    first_ += count;
    // Drop the dead front once it is the larger part.
    if (head_ * kChannels * 2 > samples_.size() && head_ > static_cast<std::size_t>(kHistoryFrames)) {
        samples_.erase(samples_.begin(),
                       samples_.begin() + static_cast<std::ptrdiff_t>(head_ * kChannels));
        head_ = 0;
    }
}

bool AudioStream::isBufferedUntil(double hostTime) const {
    if (!hasSound_) return true;
    const ItemTimebase::State state = timebase_->state();
    if (!(state.rate > 0)) return true;
    const std::lock_guard lock(mutex_);
    if (ended_) return true;
    if (!based_) return false;
    return base_ + static_cast<double>(end_) / kRate >= state.secondsAt(hostTime) - 1e-9;
}

}  // namespace media
