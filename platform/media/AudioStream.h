#pragma once
// One playing item's sound on its way to the audio output: samples in the
// output's format, laid on the item's time line, and mixed where the
// item's timebase stands at the moment they are heard. The timebase is the
// clock: while it stands still (paused, waiting for data, at the end) the
// stream is silent and keeps its place; while it moves, the stream plays
// the samples of that time at the timebase's rate (faster or slower rates
// raise or lower the pitch). A small drift between the sound device's clock
// and core::Clock is worked off by playing up to 0.5% faster or slower; a
// jump (a start, a resume, a seek, a late device) is followed at once.
//
// The engine's thread pushes, the output's device thread mixes, the main
// thread flushes (a seek). Safe from any thread.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "media/ItemAudioSettings.h"
#include "media/ItemTimebase.h"

namespace media {

class AudioStream {
public:
    AudioStream(std::shared_ptr<ItemTimebase> timebase,
                std::shared_ptr<ItemAudioSettings> settings);
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;

    // The engine's side.
    // The item has sound from now on, from its track trackID (the audio
    // mix's key).
    void setTrack(std::int32_t trackID);
    [[nodiscard]] bool hasSound() const { return hasSound_.load(); }
    // Writes at most room frames at destination; answers how many it wrote.
    using Filler = std::function<std::size_t(float* destination, std::size_t room)>;

    // Forgets every sample and starts a new epoch (a seek); answers it.
    std::uint64_t flush();
    [[nodiscard]] std::uint64_t epoch() const;
    // frames frames, the first one heard at item seconds time. Samples of
    // an older epoch are dropped; a small gap or overlap with what came
    // before is smoothed over, a larger one kept as silence or dropped.
    void push(const float* samples, std::size_t frames, double time, std::uint64_t epoch);
    // The same without a copy: up to frames frames written straight into
    // the queue by fill, which runs with the stream locked, once for each
    // stretch of the queue's storage until it writes less than its room.
    void write(std::size_t frames, double time, std::uint64_t epoch, const Filler& fill);
    // No more samples come in this epoch.
    void endInput(std::uint64_t epoch);

    // The output's side.
    // Adds what is heard from hostTime on to frames frames of out, silenced
    // (in a short ramp, as for volume changes) unless audible.
    void mix(float* out, std::size_t frames, double hostTime, bool audible);
    // Whether the samples heard up to hostTime are here (or none will come).
    [[nodiscard]] bool isBufferedUntil(double hostTime) const;

private:
    // All with mutex_ held.
    void render(float* out, std::size_t frames, double step, float gain);
    void trimBefore(std::int64_t index);
    [[nodiscard]] std::int64_t capacity() const;
    [[nodiscard]] float* frameAt(std::int64_t index);
    // Frames from index on before the ring wraps.
    [[nodiscard]] std::int64_t contiguousFrom(std::int64_t index) const;
    // Places frames frames heard from time on after what is queued: a gap
    // before them becomes silence, room is made; answers how many of them
    // to drop as already queued (an overlap).
    [[nodiscard]] std::size_t prepare(std::size_t frames, double time, double now);
    // Room for frames frames from first_ on.
    void reserve(std::int64_t frames);
    // Copies frames frames to the ring from frame index at on; silence
    // without samples.
    void copyIn(std::int64_t at, const float* samples, std::size_t frames);

    const std::shared_ptr<ItemTimebase> timebase_;
    const std::shared_ptr<ItemAudioSettings> settings_;
    std::atomic<bool> hasSound_{false};

    mutable std::mutex mutex_;
    std::int32_t trackID_ = 0;
    std::uint64_t epoch_ = 0;
    // Frame k (interleaved, since the last flush) is heard at item time
    // base_ + k / kAudioSampleRate; frames [first_, end_) are kept, frame k
    // at k modulo the ring's size.
    bool based_ = false;
    double base_ = 0;
    std::unique_ptr<float[]> ring_;
    std::int64_t capacity_ = 0;  // frames, a power of two
    std::vector<float> scratch_;
    std::int64_t first_ = 0;
    std::int64_t end_ = 0;
    bool ended_ = false;
    // The mix's place (a frame index), whether it follows the timebase yet,
    // and the gain the last mix ended with.
    double position_ = 0;
    bool synced_ = false;
    float gain_ = 0;
};

}  // namespace media
