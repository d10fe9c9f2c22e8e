// DZDevice: audio volume, route and other-audio signals.

#include <array>
#include <string_view>
#include <utility>

#include "ads/foundation/DZDevice.h"
#include "core/UserDefaults.h"
#include "ui/AudioSession.h"
#include "ui/DeviceProfile.h"

namespace ads {

namespace {

// Output port type to the code ad requests carry.
constexpr std::array<std::pair<std::string_view, std::string_view>, 7> kAudioPortCodes{{
    {ui::AudioSession::PortLineOut, "dz_port_lo"},
    {ui::AudioSession::PortHeadphones, "dz_port_h"},
    {ui::AudioSession::PortBluetoothA2DP, "dz_port_ba2dp"},
    {ui::AudioSession::PortBuiltInReceiver, "dz_port_bir"},
    {ui::AudioSession::PortBuiltInSpeaker, "dz_port_bis"},
    {ui::AudioSession::PortHDMI, "dz_port_hdmi"},
    {ui::AudioSession::PortAirPlay, "dz_port_ap"},
}};

// The code of the port's type; a port of another type is reported by its
// name, or "dz_port_invalid" when it has none.
std::string portCode(const ui::AudioPort& port) {
    for (const auto& [type, code] : kAudioPortCodes) {
        if (port.type == type) return std::string(code);
    }
    return port.name.value_or("dz_port_invalid");
}

// The system volume slider's position, as the hidden volume view reads it.
struct VolumeSlider {
    float value;
    float minimum;
    float maximum;
};

float sliderVolume(const VolumeSlider& slider) {
    const float range = slider.maximum - slider.minimum;
    if (!(range > 0)) return 1.0f;
    return (slider.value - slider.minimum) / range;
}

}  // namespace

void DZDevice::updateAudio() {
    updateAudioVolume();
    updateAudioPortNames();
    ui::AudioSession& session = ui::AudioSession::shared();
    isOtherAudioPlaying_ = session.isOtherAudioPlaying();
    if (!isSimulator() && isOSAtLeastMajor(8, 0, 0)) {
        shouldSilenceAudioValue_ = session.secondaryAudioShouldBeSilencedHint() ? 1 : 0;
    }
}

void DZDevice::updateAudioVolume() {
    float volume = 1.0f;
    if (!core::UserDefaults::standard()->boolForKey(kVolumeViewKey)) {
        volume = ui::AudioSession::shared().outputVolume();
    } else {
        // The platform's volume view is a slider from 0 to 1 over the
        // device's output volume.
        volume = sliderVolume({ui::AudioSession::shared().outputVolume(), 0.0f, 1.0f});
    }
    lockQueue_->async([this, volume] { audioVolume_ = volume; });
}

void DZDevice::updateAudioPortNames() {
    std::vector<std::string> names;
    for (const ui::AudioPort& port : ui::AudioSession::shared().currentRouteOutputs()) {
        names.push_back(portCode(port));
    }
    lockQueue_->async([this, names = std::move(names)] { audioRoutePortNames_ = names; });
}

float DZDevice::audioVolume() const {
    float volume = 1.0f;
    syncOnLockQueue([&] { volume = audioVolume_; });
    return volume;
}

std::vector<std::string> DZDevice::audioRoutePortNames() const {
    std::vector<std::string> names;
    syncOnLockQueue([&] { names = audioRoutePortNames_; });
    return names;
}

std::optional<bool> DZDevice::shouldSilenceAudioValue() const {
    const int value = shouldSilenceAudioValue_;
    if (value < 0) return std::nullopt;
    return value == 1;
}

}  // namespace ads
