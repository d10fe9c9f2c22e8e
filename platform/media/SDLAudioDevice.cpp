#include "media/SDLAudioDevice.h"

#include <SDL2/SDL.h>

#include "core/Clock.h"

namespace media {

std::unique_ptr<AudioDevice> SDLAudioDevice::open(Renderer renderer, std::string* error) {
    const auto fail = [error](const char* what) -> std::unique_ptr<AudioDevice> {
        if (error) *error = std::string(what) + ": " + SDL_GetError();
        return nullptr;
    };
    // How the sound server lists the app's stream.
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Vantor");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, "Video");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, "video");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return fail("SDL audio");
    auto device = std::make_unique<SDLAudioDevice>(Private{}, std::move(renderer));
    SDL_AudioSpec wanted{};
    wanted.freq = kAudioSampleRate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = kAudioChannels;
    wanted.samples = kBufferFrames;
    wanted.callback = &SDLAudioDevice::callback;
    wanted.userdata = device.get();
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts to what the hardware takes.
    device->id_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device->id_ == 0) {
        auto failed = fail("SDL audio device");
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return failed;
    }
    device->latency_ = 2.0 * obtained.samples / obtained.freq;
    SDL_PauseAudioDevice(device->id_, 0);
    return device;
}

SDLAudioDevice::~SDLAudioDevice() {
    SDL_CloseAudioDevice(id_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SDLAudioDevice::callback(void* userdata, Uint8* stream, int length) {
    auto* device = static_cast<SDLAudioDevice*>(userdata);
    const auto frames =
        static_cast<std::size_t>(length) / (sizeof(float) * static_cast<std::size_t>(kAudioChannels));
    const double heard = core::Clock::current()->monotonicSeconds() + device->latency_;
    device->renderer_(reinterpret_cast<float*>(stream), frames, heard);
}

}  // namespace media
