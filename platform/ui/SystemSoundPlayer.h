#pragma once
// Plays the system's short sounds by identifier, vibration included. Nothing
// is audible here: each sound played is recorded, in order, so that tests
// and the tool can tell what the app asked for. Any thread.

#include <cstdint>
#include <vector>

namespace ui {

using SystemSoundID = std::uint32_t;

class SystemSoundPlayer {
public:
    // Vibrates the device (where it can).
    static constexpr SystemSoundID kVibrate = 4095;

    static void play(SystemSoundID sound);
    // The sounds played since the process started or the last reset.
    [[nodiscard]] static std::vector<SystemSoundID> playedSounds();
    static void resetForTesting();
};

}  // namespace ui
