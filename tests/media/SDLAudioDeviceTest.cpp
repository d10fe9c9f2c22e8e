// SDL's audio as the output's device, through its "disk" driver, which
// writes what it is given to a file at the pace of a sound card: a clip's
// tone, played on the real clock, is in the file at its pitch and level.

#include <gtest/gtest.h>

#include <filesystem>

#include "AudioTesting.h"
#include "MediaTesting.h"
#include "fixtures/FixtureVideos.h"
#include "media/AudioOutput.h"
#include "media/FFmpegEngine.h"
#include "support/TestEnvironment.h"

namespace {

using fixtures::FixtureVideos;

TEST(SDLAudioDeviceTest, TheDiskDriverGetsTheToneAtItsPitchAndLevel) {
    const auto file = std::filesystem::path(testsupport::testHome()) / "sdl-disk-audio.raw";
    std::filesystem::remove(file);
    audiotest::Environment driver("SDL_AUDIODRIVER", "disk");
    audiotest::Environment path("SDL_DISKAUDIOFILE", file.string());
    auto& output = media::AudioOutput::shared();
    const auto before = output.setDeviceFactory(media::AudioOutput::sdlFactory());
    {
        mediatest::EngineScope engine{media::FFmpegEngine::create()};
        const auto player = media::Player::create(media::PlayerItem::create(
            core::URL::fileURL(FixtureVideos::path(FixtureVideos::kTone440))));
        player->play();
        // Three quarters of a second of sound (stereo floats), in real time.
        const auto wanted = static_cast<std::uintmax_t>(0.75 * audiotest::kRate * 8);
        const bool written = core::RunLoop::main().runUntil(
            [&] {
                std::error_code error;
                const auto size = std::filesystem::file_size(file, error);
                return !error && size >= wanted;
            },
            20);
        ASSERT_TRUE(written) << "the disk driver wrote nothing";
        EXPECT_TRUE(output.isDeviceOpen());
    }
    EXPECT_FALSE(output.isDeviceOpen()) << "closed with the player";
    output.setDeviceFactory(before);

    double start = 0;
    const audiotest::Channel left = audiotest::leftOfFile(file.string(), &start);
    // The device starts before the item's time moves: the tone comes after silence.
    const double from = start + 0.05;
    ASSERT_LT(from + 0.4, double(left.size()) / audiotest::kRate);
    // In real time the mix may run up to half a percent fast or slow while
    // it catches up with the item's clock (a loaded machine lets the two
    // drift apart): 440 Hz within that, and no further.
    EXPECT_NEAR(audiotest::frequency(left, from, from + 0.4), 440, 440 * 0.005 + 0.5);
    EXPECT_NEAR(audiotest::amplitude(left, from, from + 0.4), FixtureVideos::kToneAmplitude,
                0.03 * FixtureVideos::kToneAmplitude);
    std::filesystem::remove(file);
}

}  // namespace
