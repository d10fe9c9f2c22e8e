#include "media/AudioStream.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "media/AudioDevice.h"

namespace media {

namespace {

constexpr double kRate = kAudioSampleRate;
constexpr std::size_t kChannels = kAudioChannels;
// Frames kept behind the mix's place, so that a resume or a device that
// asked ahead can step back a little.
constexpr std::int64_t kHistoryFrames = kAudioSampleRate / 10;
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
// Frames the ring holds at first (a power of two: the sound decoded ahead,
// what is kept behind and a burst); it grows by doubling when more is queued.
constexpr std::int64_t kInitialCapacity = 1 << 16;

// out[i] += gain * in[i], in blocks the compiler makes vector instructions of.
void addScaled(float* __restrict out, const float* __restrict in, std::size_t count, float gain) {
    constexpr std::size_t kBlock = 8;
    std::size_t i = 0;
    for (; i + kBlock <= count; i += kBlock) {
        for (std::size_t j = 0; j < kBlock; ++j) out[i + j] += gain * in[i + j];
    }
    for (; i < count; ++i) out[i] += gain * in[i];
}

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
    const std::size_t skip = prepare(frames, time, now);
    copyIn(end_, samples + skip * kChannels, frames - skip);
    end_ += static_cast<std::int64_t>(frames - skip);
}

void AudioStream::write(std::size_t frames, double time, std::uint64_t epoch, const Filler& fill) {
    if (frames == 0 || !std::isfinite(time)) return;
    const double now = timebase_->seconds();
    const std::lock_guard lock(mutex_);
    if (epoch != epoch_ || ended_) return;
    const std::size_t skip = prepare(frames, time, now);
    if (skip > 0) {
        // An overlap (rare): the part already queued is dropped on the way.
        scratch_.resize(frames * kChannels);
        const std::size_t made = std::min(fill(scratch_.data(), frames), frames);
        if (made <= skip) return;
        copyIn(end_, scratch_.data() + skip * kChannels, made - skip);
        end_ += static_cast<std::int64_t>(made - skip);
        return;
    }
    for (std::size_t written = 0; written < frames;) {
        const auto room = static_cast<std::size_t>(std::min<std::int64_t>(
            static_cast<std::int64_t>(frames - written), contiguousFrom(end_)));
        const std::size_t made = std::min(fill(frameAt(end_), room), room);
        end_ += static_cast<std::int64_t>(made);
        written += made;
        if (made < room) break;
    }
}

std::size_t AudioStream::prepare(std::size_t frames, double time, double now) {
    std::int64_t gap = 0;
    if (based_) {
        gap = std::llround((time - base_) * kRate) - end_;
        if (gap > kMaxGapFrames) based_ = false;
    }
    if (!based_) {
        based_ = true;
        synced_ = false;
        base_ = time;
        first_ = end_ = gap = 0;
    }
    std::size_t skip = 0;
    if (gap < -kGapFrames) {
        skip = std::min(frames, static_cast<std::size_t>(-gap));
    } else if (gap <= kGapFrames) {
        gap = 0;
    }
    // Without a device nobody mixes: what is past goes here.
    trimBefore(static_cast<std::int64_t>((now - base_) * kRate) - kHistoryFrames);
    if (gap > 0) {
        reserve(end_ + gap - first_);
        copyIn(end_, nullptr, static_cast<std::size_t>(gap));
        end_ += gap;
    }
    reserve(end_ + static_cast<std::int64_t>(frames) - first_);
    return skip;
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
    const auto rampGain = [&](std::size_t i) {
        return from + (gain - from) * static_cast<float>(i + 1) / static_cast<float>(ramp);
    };
    std::size_t i = 0;
    // Whole frames at the rate of 1: a plain scaled copy.
    if (step == 1 && position_ == std::floor(position_)) {
        const auto start = static_cast<std::int64_t>(position_);
        for (; i < ramp; ++i) {
            const std::int64_t index = start + static_cast<std::int64_t>(i);
            if (index < first_ || index >= end_) continue;
            const float g = rampGain(i);
            const float* frame = frameAt(index);
            for (std::size_t c = 0; c < kChannels; ++c) out[i * kChannels + c] += g * frame[c];
        }
        std::int64_t begin = std::max(start + static_cast<std::int64_t>(i), first_);
        const std::int64_t end = std::min(start + static_cast<std::int64_t>(frames), end_);
        while (begin < end) {
            const std::int64_t run = std::min(end - begin, contiguousFrom(begin));
            addScaled(out + static_cast<std::size_t>(begin - start) * kChannels, frameAt(begin),
                      static_cast<std::size_t>(run) * kChannels, gain);
            begin += run;
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
        const float g = i < ramp ? rampGain(i) : gain;
        const float* a = frameAt(index);
        const float* b = frameAt(index + 1);
        for (std::size_t c = 0; c < kChannels; ++c)
            out[i * kChannels + c] += g * (a[c] + (b[c] - a[c]) * fraction);
    }
}

void AudioStream::trimBefore(std::int64_t index) {
    first_ = std::max(first_, std::min(index, end_));
}

std::int64_t AudioStream::capacity() const {
    return capacity_;
}

float* AudioStream::frameAt(std::int64_t index) {
    return ring_.get() + static_cast<std::size_t>(index & (capacity_ - 1)) * kChannels;
}

std::int64_t AudioStream::contiguousFrom(std::int64_t index) const {
    return capacity() - (index & (capacity() - 1));
}

void AudioStream::reserve(std::int64_t frames) {
    if (frames <= capacity()) return;
    std::int64_t size = std::max(capacity_, kInitialCapacity);
    while (size < frames) size *= 2;
    auto old = std::exchange(
        ring_, std::make_unique_for_overwrite<float[]>(static_cast<std::size_t>(size) * kChannels));
    const std::int64_t oldCapacity = std::exchange(capacity_, size);
    // What is kept moves to its place in the larger ring.
    for (std::int64_t index = first_; index < end_;) {
        const std::int64_t offset = index & (oldCapacity - 1);
        const std::int64_t run = std::min(end_ - index, oldCapacity - offset);
        copyIn(index, old.get() + offset * static_cast<std::int64_t>(kChannels),
               static_cast<std::size_t>(run));
        index += run;
    }
}

void AudioStream::copyIn(std::int64_t at, const float* samples, std::size_t frames) {
    while (frames > 0) {
        const auto run = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(frames), contiguousFrom(at)));
        float* to = frameAt(at);
        if (samples) {
            std::copy(samples, samples + run * kChannels, to);
            samples += run * kChannels;
        } else {
            std::fill(to, to + run * kChannels, 0.0f);
        }
        at += static_cast<std::int64_t>(run);
        frames -= run;
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
