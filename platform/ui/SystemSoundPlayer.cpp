#include "ui/SystemSoundPlayer.h"

#include <mutex>

namespace ui {

namespace {

struct Played {
    std::mutex mutex;
    std::vector<SystemSoundID> sounds;
};

Played& played() {
    static auto* const shared = new Played;
    return *shared;
}

}  // namespace

void SystemSoundPlayer::play(SystemSoundID sound) {
    Played& shared = played();
    std::lock_guard lock(shared.mutex);
    shared.sounds.push_back(sound);
}

std::vector<SystemSoundID> SystemSoundPlayer::playedSounds() {
    Played& shared = played();
    std::lock_guard lock(shared.mutex);
    return shared.sounds;
}

void SystemSoundPlayer::resetForTesting() {
    Played& shared = played();
    std::lock_guard lock(shared.mutex);
    shared.sounds.clear();
}

}  // namespace ui
