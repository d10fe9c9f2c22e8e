#pragma once
// The process's sound: mixes the sound of every playing item (an
// AudioStream each) into one device, in the format of AudioDevice.h. The
// device opens on the main thread the first time an item with sound plays
// and closes when no item with sound is left. SDL's audio opens it unless
// another factory is set: it reaches the desktop's sound server (PulseAudio,
// PipeWire) or ALSA. With no factory (the headless run) or no device to be
// had, items play on silently, their sound is dropped, and one line in the
// console says why (once for each factory set).
//
// What is heard follows ui::AudioSession: nothing while it says the app's
// output is not audible.
//
// Main thread, except where said.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media/AudioDevice.h"
#include "media/AudioStream.h"

namespace media {

class AudioOutput {
public:
    static constexpr int kSampleRate = kAudioSampleRate;
    static constexpr int kChannels = kAudioChannels;

    static AudioOutput& shared();

    // What opens the device from the next open on; nullptr: no device, for
    // the reason whyNone. Answers the factory before.
    AudioDevice::Factory setDeviceFactory(AudioDevice::Factory factory, std::string whyNone = {});
    // SDL's audio: the default.
    [[nodiscard]] static AudioDevice::Factory sdlFactory();
    // Any thread.
    [[nodiscard]] bool hasDeviceFactory() const;
    [[nodiscard]] bool isDeviceOpen() const { return deviceOpen_.load(); }

    // A stream for an item's engine work; nullptr when there is no device
    // factory (the engine then leaves the sound undecoded).
    [[nodiscard]] std::shared_ptr<AudioStream> addStream(std::shared_ptr<ItemTimebase> timebase,
                                                         std::shared_ptr<ItemAudioSettings> settings);
    // Closes the device when no stream with sound is left.
    void removeStream(const std::shared_ptr<AudioStream>& stream);
    // Any thread: a stream with sound plays. The device opens on the main
    // thread; after a failure it is not tried again until no stream with
    // sound is left.
    void soundWanted();
    // Any thread: an item with sound plays while there is no device factory.
    void soundWithoutDevice();

    // The device's thread: writes frames frames heard from hostTime on.
    void render(float* out, std::size_t frames, double hostTime);
    // Any thread: whether every stream has what is heard up to hostTime.
    [[nodiscard]] bool isBufferedUntil(double hostTime) const;
    // How many streams have a sound track to mix (a player's track is
    // known once its engine has opened it, after the item is ready).
    [[nodiscard]] std::size_t soundingStreams() const;

private:
    AudioOutput();
    void open();
    [[nodiscard]] bool anySoundLocked() const;
    void logNoDevice(const std::string& why);

    mutable std::mutex mutex_;
    AudioDevice::Factory factory_;
    std::string whyNone_;
    std::vector<std::shared_ptr<AudioStream>> streams_;
    // Main thread.
    std::unique_ptr<AudioDevice> device_;
    std::atomic<bool> deviceOpen_{false};
    std::atomic<bool> openPending_{false};
    std::atomic<bool> openFailed_{false};
    std::atomic<bool> loggedNoDevice_{false};
};

}  // namespace media
