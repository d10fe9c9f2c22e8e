#pragma once
// Where the audio output's mix goes: a sound device that asks for samples
// on a thread of its own (SDLAudioDevice), or a sink whose owner pulls them
// (AudioCapture). Samples are interleaved 32-bit floats in the output's
// format: kAudioSampleRate frames a second of kAudioChannels samples.
//
// Devices are made and destroyed on the main thread; once destroyed, a
// device no longer calls its renderer.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace media {

inline constexpr int kAudioSampleRate = 48000;
inline constexpr int kAudioChannels = 2;

class AudioDevice {
public:
    // Writes frames frames to out: what is heard from hostTime on
    // (core::Clock's monotonic scale).
    using Renderer = std::function<void(float* out, std::size_t frames, double hostTime)>;
    // Opens a device that calls renderer; nullptr, with the reason in
    // error, when none can be opened.
    using Factory =
        std::function<std::unique_ptr<AudioDevice>(Renderer renderer, std::string* error)>;

    virtual ~AudioDevice() = default;
};

}  // namespace media
