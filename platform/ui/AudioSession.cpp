#include "ui/AudioSession.h"

#include <algorithm>
#include <string_view>

namespace ui {

namespace {

bool known(std::string_view value, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), value) != names.end();
}

}  // namespace

AudioSession& AudioSession::shared() {
    static AudioSession* const session = new AudioSession;
    return *session;
}

AudioSession::AudioSession() {
    resetForTesting();
}

void AudioSession::resetForTesting() {
    const AudioFacts& facts = DeviceProfile::current().audio;
    std::lock_guard lock(mutex_);
    category_ = facts.category;
    mode_ = facts.mode;
    options_ = facts.categoryOptions;
    active_ = false;
    lastDeactivationOptions_.reset();
}

std::string AudioSession::category() const {
    std::lock_guard lock(mutex_);
    return category_;
}

std::string AudioSession::mode() const {
    std::lock_guard lock(mutex_);
    return mode_;
}

std::uint64_t AudioSession::categoryOptions() const {
    std::lock_guard lock(mutex_);
    return options_;
}

bool AudioSession::isActive() const {
    std::lock_guard lock(mutex_);
    return active_;
}

std::optional<std::uint64_t> AudioSession::lastDeactivationOptions() const {
    std::lock_guard lock(mutex_);
    return lastDeactivationOptions_;
}

bool AudioSession::setCategory(const std::string& category, std::uint64_t options) {
    if (!known(category, {CategoryAmbient, CategorySoloAmbient, CategoryPlayback, CategoryRecord,
                          CategoryPlayAndRecord})) {
        return false;
    }
    std::lock_guard lock(mutex_);
    category_ = category;
    options_ = options;
    return true;
}

bool AudioSession::setMode(const std::string& mode) {
    if (!known(mode, {ModeDefault, ModeMoviePlayback, ModeSpokenAudio})) return false;
    std::lock_guard lock(mutex_);
    mode_ = mode;
    return true;
}

bool AudioSession::setActive(bool active, std::uint64_t options) {
    std::lock_guard lock(mutex_);
    active_ = active;
    if (!active) lastDeactivationOptions_ = options;
    return true;
}

float AudioSession::outputVolume() const {
    return DeviceProfile::current().audio.outputVolume;
}

std::vector<AudioPort> AudioSession::currentRouteOutputs() const {
    return DeviceProfile::current().audio.route;
}

bool AudioSession::isOtherAudioPlaying() const {
    return DeviceProfile::current().audio.otherAudioPlaying;
}

bool AudioSession::secondaryAudioShouldBeSilencedHint() const {
    return DeviceProfile::current().audio.secondaryAudioShouldBeSilenced;
}

bool AudioSession::isOutputAudible() const {
    const bool silentMode = DeviceProfile::current().audio.silentMode;
    std::lock_guard lock(mutex_);
    if (category_ == CategoryRecord) return false;
    return !(silentMode && (category_ == CategoryAmbient || category_ == CategorySoloAmbient));
}

}  // namespace ui
