#include "ui/SystemSoundPlayer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(SystemSoundPlayerTest, RecordsTheSoundsPlayed) {
    ui::SystemSoundPlayer::resetForTesting();
    ui::SystemSoundPlayer::play(ui::SystemSoundPlayer::kVibrate);
    ui::SystemSoundPlayer::play(1007);
    EXPECT_EQ(ui::SystemSoundPlayer::playedSounds(), (std::vector<ui::SystemSoundID>{4095, 1007}));
    ui::SystemSoundPlayer::resetForTesting();
    EXPECT_TRUE(ui::SystemSoundPlayer::playedSounds().empty());
}

}  // namespace
