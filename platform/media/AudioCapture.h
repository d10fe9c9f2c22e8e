#pragma once
// A sink of the audio output's own, in place of a sound device: while it
// lives, the output opens it instead of its device, and its owner pulls
// the mix. render() mixes what is heard from core::Clock's current time on
// and answers it, so that tests read back what would have been heard and
// benchmarks measure the mix without a device's pace.
//
// Main thread.

#include <cstddef>
#include <memory>
#include <vector>

#include "media/AudioDevice.h"

namespace media {

class AudioCapture {
public:
    AudioCapture();
    // Puts the output's previous device factory back.
    ~AudioCapture();
    AudioCapture(const AudioCapture&) = delete;
    AudioCapture& operator=(const AudioCapture&) = delete;

    // Whether the output has it open now, and how often it opened it.
    [[nodiscard]] bool isOpen() const;
    [[nodiscard]] int openCount() const;

    // frames frames of interleaved samples heard from now on; silence
    // while the output has it closed.
    [[nodiscard]] std::vector<float> render(std::size_t frames);
    // The same into out, frames * kAudioChannels samples.
    void render(float* out, std::size_t frames);

    // What the capture shares with the device the output opened.
    struct State;

private:
    const std::shared_ptr<State> state_;
    AudioDevice::Factory previous_;
};

}  // namespace media
