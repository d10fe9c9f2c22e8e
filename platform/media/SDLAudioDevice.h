#pragma once
// The audio output's device on SDL's audio: the desktop's sound server
// (PulseAudio, PipeWire) or ALSA, whichever SDL reaches (SDL_AUDIODRIVER
// picks one, "disk" and "dummy" included). It opens in the output's format
// (SDL converts to the hardware's) and asks for samples on SDL's audio
// thread, each buffer for the moment it is expected to be heard: now plus
// two buffers.
//
// Opened and destroyed on the main thread.

#include <SDL2/SDL_audio.h>

#include "media/AudioDevice.h"

namespace media {

class SDLAudioDevice final : public AudioDevice {
public:
    // Frames per buffer SDL asks for: about 21 ms.
    static constexpr int kBufferFrames = 1024;

    [[nodiscard]] static std::unique_ptr<AudioDevice> open(Renderer renderer, std::string* error);
    ~SDLAudioDevice() override;
    SDLAudioDevice(const SDLAudioDevice&) = delete;
    SDLAudioDevice& operator=(const SDLAudioDevice&) = delete;

private:
    struct Private {};

public:
    SDLAudioDevice(Private, Renderer renderer) : renderer_(std::move(renderer)) {}

private:
    static void callback(void* userdata, Uint8* stream, int length);

    const Renderer renderer_;
    SDL_AudioDeviceID id_ = 0;
    double latency_ = 0;
};

}  // namespace media
