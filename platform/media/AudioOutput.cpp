#include "media/AudioOutput.h"

#include <algorithm>

#include "core/Console.h"
#include "core/ProcessExit.h"
#include "core/Queue.h"
#include "core/RunLoop.h"
#include "media/SDLAudioDevice.h"
#include "ui/AudioSession.h"

namespace media {

AudioOutput& AudioOutput::shared() {
    static AudioOutput* const output = new AudioOutput;
    return *output;
}

AudioOutput::AudioOutput() : factory_(sdlFactory()) {}

AudioDevice::Factory AudioOutput::sdlFactory() {
    return [](AudioDevice::Renderer renderer, std::string* error) {
        return SDLAudioDevice::open(std::move(renderer), error);
    };
}

AudioDevice::Factory AudioOutput::setDeviceFactory(AudioDevice::Factory factory,
                                                   std::string whyNone) {
    const std::lock_guard lock(mutex_);
    whyNone_ = std::move(whyNone);
    loggedNoDevice_ = false;
    return std::exchange(factory_, std::move(factory));
}

bool AudioOutput::hasDeviceFactory() const {
    const std::lock_guard lock(mutex_);
    return static_cast<bool>(factory_);
}

std::shared_ptr<AudioStream> AudioOutput::addStream(std::shared_ptr<ItemTimebase> timebase,
                                                    std::shared_ptr<ItemAudioSettings> settings) {
    auto stream = std::make_shared<AudioStream>(std::move(timebase), std::move(settings));
    const std::lock_guard lock(mutex_);
    if (!factory_) return nullptr;
    streams_.push_back(stream);
    return stream;
}

void AudioOutput::removeStream(const std::shared_ptr<AudioStream>& stream) {
    {
        const std::lock_guard lock(mutex_);
        std::erase(streams_, stream);
        if (anySoundLocked()) return;
    }
    openFailed_ = false;
    // Outside the lock: closing waits for the device's thread, which may be
    // waiting for the lock to mix.
    if (device_) {
        device_.reset();
        deviceOpen_ = false;
    }
}

bool AudioOutput::anySoundLocked() const {
    return std::any_of(streams_.begin(), streams_.end(),
                       [](const auto& stream) { return stream->hasSound(); });
}

void AudioOutput::soundWanted() {
    if (deviceOpen_ || openFailed_ || openPending_.exchange(true)) return;
    if (core::RunLoop::isMainThread()) {
        open();
        return;
    }
    core::Queue::main()->async([this] { open(); });
}

void AudioOutput::open() {
    openPending_ = false;
    if (device_ || openFailed_) return;
    AudioDevice::Factory factory;
    std::string why;
    {
        const std::lock_guard lock(mutex_);
        // The item may be gone by now.
        if (!anySoundLocked()) return;
        factory = factory_;
        why = whyNone_;
    }
    if (factory) {
        device_ = factory(
            [this](float* out, std::size_t frames, double hostTime) {
                render(out, frames, hostTime);
            },
            &why);
    }
    if (device_) {
        deviceOpen_ = true;
        // A device still open at exit stops (its thread joined) as the
        // process begins to exit, before any static its thread reads (the
        // clock, the session) is destroyed.
        static std::once_flag registered;
        std::call_once(registered, [] {
            core::ProcessExit::atStart([] {
                auto& output = shared();
                output.device_.reset();
                output.deviceOpen_ = false;
            });
        });
        return;
    }
    openFailed_ = true;
    logNoDevice(why);
}

void AudioOutput::soundWithoutDevice() {
    std::string why;
    {
        const std::lock_guard lock(mutex_);
        why = whyNone_;
    }
    logNoDevice(why);
}

void AudioOutput::logNoDevice(const std::string& why) {
    if (loggedNoDevice_.exchange(true)) return;
    core::Console::log("AudioOutput: no sound device (" + (why.empty() ? "none set" : why) +
                       "): video plays without its sound");
}

void AudioOutput::render(float* out, std::size_t frames, double hostTime) {
    const std::size_t count = frames * kChannels;
    std::fill(out, out + count, 0.0f);
    const bool audible = ui::AudioSession::shared().isOutputAudible();
    std::size_t mixed = 0;
    {
        const std::lock_guard lock(mutex_);
        for (const auto& stream : streams_) {
            if (!stream->hasSound()) continue;
            stream->mix(out, frames, hostTime, audible);
            ++mixed;
        }
    }
    // Each stream stays within full scale; several may add up beyond it.
    if (mixed < 2) return;
    for (std::size_t i = 0; i < count; ++i) out[i] = out[i] > 1 ? 1 : out[i] < -1 ? -1 : out[i];
}

bool AudioOutput::isBufferedUntil(double hostTime) const {
    const std::lock_guard lock(mutex_);
    return std::all_of(streams_.begin(), streams_.end(),
                       [hostTime](const auto& stream) { return stream->isBufferedUntil(hostTime); });
}

std::size_t AudioOutput::soundingStreams() const {
    const std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(
        streams_.begin(), streams_.end(), [](const auto& stream) { return stream->hasSound(); }));
}

}  // namespace media
