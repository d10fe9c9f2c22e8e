// The desktop window and a video's sound in one process: while the window
// runs (SDL's video), a player plays the tone clip on SDL's audio, here its
// disk driver, which writes what the desktop would hear to a file.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "core/RunLoop.h"
#include "core/Timer.h"
#include "display/DesktopWindow.h"
#include "fixtures/FixtureVideos.h"
#include "media/AudioOutput.h"
#include "media/AudioTesting.h"
#include "media/Engine.h"
#include "media/Player.h"
#include "media/FFmpegEngine.h"
#include "support/TestEnvironment.h"
#include "ui/Application.h"
#include "ui/Window.h"
#include "web/HeadlessDisplay.h"

namespace {

using fixtures::FixtureVideos;

TEST(DesktopWindowSoundService, AVideoInTheWindowIsHeardOnTheDesktopsSound) {
    std::string error;
    ASSERT_TRUE(web::HeadlessDisplay::ensure(&error)) << error;
    const auto file = std::filesystem::path(testsupport::testHome()) / "window-sound.raw";
    std::filesystem::remove(file);
    audiotest::Environment driver("SDL_AUDIODRIVER", "disk");
    audiotest::Environment path("SDL_DISKAUDIOFILE", file.string());
    auto& output = media::AudioOutput::shared();
    const auto before = output.setDeviceFactory(media::AudioOutput::sdlFactory());
    const auto engine = media::Engine::install(media::FFmpegEngine::create());
    {
        const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 160, 96));
        auto desktop = display::DesktopWindow::create(window, "sound", &error);
        ASSERT_TRUE(desktop) << error;
        const auto player = media::Player::create(media::PlayerItem::create(
            core::URL::fileURL(FixtureVideos::path(FixtureVideos::kTone440))));
        player->play();
        // Half a second of sound (stereo floats) written, in real time.
        const auto started = std::chrono::steady_clock::now();
        const auto check = core::Timer::schedule(core::RunLoop::main(), 0.05, true, [&](core::Timer&) {
            std::error_code failed;
            const auto size = std::filesystem::file_size(file, failed);
            if ((!failed && size >= 0.5 * audiotest::kRate * 8) ||
                std::chrono::steady_clock::now() - started > std::chrono::seconds(20))
                ui::Application::shared().terminate();
        });
        desktop->run();
        check->invalidate();
        EXPECT_TRUE(output.isDeviceOpen());
    }
    EXPECT_FALSE(output.isDeviceOpen());
    media::Engine::install(engine);
    output.setDeviceFactory(before);

    double start = 0;
    const audiotest::Channel left = audiotest::leftOfFile(file.string(), &start);
    const double from = start + 0.02;
    ASSERT_LT(from + 0.3, double(left.size()) / audiotest::kRate) << "no tone in the file";
    // In real time the mix may run up to half a percent fast or slow while
    // it catches up with the item's clock (a loaded machine lets the two
    // drift apart): 440 Hz within that, and no further.
    EXPECT_NEAR(audiotest::frequency(left, from, from + 0.3), 440, 440 * 0.005 + 0.5);
    EXPECT_NEAR(audiotest::amplitude(left, from, from + 0.3), FixtureVideos::kToneAmplitude,
                0.03 * FixtureVideos::kToneAmplitude);
    std::filesystem::remove(file);
}

}  // namespace
