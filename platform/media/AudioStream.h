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
    // Forgets every sample and starts a new epoch (a seek); answers it.
    std::uint64_t flush();
    [[nodiscard]] std::uint64_t epoch() const;
    // frames frames, the first one heard at item seconds time. Samples of
    // an older epoch are dropped; a small gap or overlap with what came
    // before is smoothed over, a larger one kept as silence or dropped.
    void push(const float* samples, std::size_t frames, double time, std::uint64_t epoch);
    // No more samples come in this epoch.
    void endInput(std::uint64_t epoch);

    // The output's side.
    // Adds what is heard from hostTime on to frames frames of out, silenced
    // (in a short ramp, as for volume changes) unless audible.
    void mix(float* out, std::size_t frames, double hostTime, bool audible);
    // Whether the samples heard up to hostTime are here (or none will come).
    [[nodiscard]] bool isBufferedUntil(double hostTime) const;

private:
    // Both with mutex_ held.
    void render(float* out, std::size_t frames, double step, float gain);
    void trimBefore(std::int64_t index);

    const std::shared_ptr<ItemTimebase> timebase_;
    const std::shared_ptr<ItemAudioSettings> settings_;
    std::atomic<bool> hasSound_{false};

    mutable std::mutex mutex_;
    std::int32_t trackID_ = 0;
    std::uint64_t epoch_ = 0;
    // Frame k (interleaved, since the last flush) is heard at item time
    // base_ + k / kSampleRate; frames [first_, end_) are kept, from frame
    // head_ of samples_ on.
    bool based_ = false;
    double base_ = 0;
    std::vector<float> samples_;
    std::size_t head_ = 0;
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
