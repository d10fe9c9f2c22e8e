#pragma once
// The app's shared audio session: the category, mode and options the app
// asks for, whether it is active, and the device's audio facts (volume,
// current route, other audio playing, silence hint), which come from the
// current device profile. Any thread; every call is atomic on its own.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ui/DeviceProfile.h"

namespace ui {

class AudioSession {
public:
    static constexpr const char* CategoryAmbient = "Ambient";
    static constexpr const char* CategorySoloAmbient = "SoloAmbient";
    static constexpr const char* CategoryPlayback = "Playback";
    static constexpr const char* CategoryRecord = "Record";
    static constexpr const char* CategoryPlayAndRecord = "PlayAndRecord";
    static constexpr const char* ModeDefault = "Default";
    static constexpr const char* ModeMoviePlayback = "MoviePlayback";
    static constexpr const char* ModeSpokenAudio = "SpokenAudio";

    // Category option bits.
    static constexpr std::uint64_t OptionMixWithOthers = 0x1;
    static constexpr std::uint64_t OptionDuckOthers = 0x2;
    // setActive option: tell the app that was interrupted it may resume.
    static constexpr std::uint64_t OptionNotifyOthersOnDeactivation = 1;

    // Output port types of a route.
    static constexpr const char* PortLineOut = "LineOut";
    static constexpr const char* PortHeadphones = "Headphones";
    static constexpr const char* PortBluetoothA2DP = "BluetoothA2DP";
    static constexpr const char* PortBuiltInReceiver = "Receiver";
    static constexpr const char* PortBuiltInSpeaker = "Speaker";
    static constexpr const char* PortHDMI = "HDMI";
    static constexpr const char* PortAirPlay = "AirPlay";

    static AudioSession& shared();

    [[nodiscard]] std::string category() const;
    [[nodiscard]] std::string mode() const;
    [[nodiscard]] std::uint64_t categoryOptions() const;
    [[nodiscard]] bool isActive() const;
    // The options of the last deactivation, none before the first one.
    [[nodiscard]] std::optional<std::uint64_t> lastDeactivationOptions() const;

    // False (and nothing changed) for an unknown category or mode.
    [[nodiscard]] bool setCategory(const std::string& category, std::uint64_t options = 0);
    [[nodiscard]] bool setMode(const std::string& mode);
    [[nodiscard]] bool setActive(bool active, std::uint64_t options = 0);

    [[nodiscard]] float outputVolume() const;
    [[nodiscard]] std::vector<AudioPort> currentRouteOutputs() const;
    [[nodiscard]] bool isOtherAudioPlaying() const;
    [[nodiscard]] bool secondaryAudioShouldBeSilencedHint() const;
    // Whether what the app plays is heard now: never under the record-only
    // category, and not under the ambient categories while the device's
    // silent switch is on.
    [[nodiscard]] bool isOutputAudible() const;

    // Back to the current profile's category, mode and options, inactive.
    void resetForTesting();

private:
    AudioSession();

    mutable std::mutex mutex_;
    std::string category_;
    std::string mode_;
    std::uint64_t options_ = 0;
    bool active_ = false;
    std::optional<std::uint64_t> lastDeactivationOptions_;
};

}  // namespace ui
