// What players of the FFmpeg engine make heard, read back from the audio
// output's capture sink: the fixture clips' tones at their pitch and level,
// volume, mute, pause, rate, seeks and several players mixing, and sound
// and picture kept together over a clip. The clock is manual: the
// listener steps it and waits for the engine's threads in real time.

#include <gtest/gtest.h>

#include "AudioTesting.h"
#include "MediaTesting.h"
#include "core/Console.h"
#include "fixtures/FixtureVideos.h"
#include "media/FFmpegEngine.h"
#include "media/VideoOutput.h"

namespace {

using fixtures::FixtureVideos;
using media::Player;
using namespace audiotest;

constexpr double kTone = FixtureVideos::kToneAmplitude;

bool waitFor(const std::function<bool()>& predicate, double limit = 10) {
    return core::RunLoop::main().runUntil(predicate, limit);
}

struct Playing {
    std::shared_ptr<media::PlayerItem> item;
    std::shared_ptr<Player> player;
    std::shared_ptr<media::VideoOutput> output = media::VideoOutput::create();
};

// A player of a fixture clip, ready to play.
Playing open(const char* name) {
    Playing playing;
    playing.item = media::PlayerItem::create(core::URL::fileURL(FixtureVideos::path(name)));
    playing.item->addOutput(playing.output);
    playing.player = Player::create(playing.item);
    EXPECT_TRUE(waitFor([&] { return playing.player->status() != Player::Status::unknown; }));
    EXPECT_EQ(playing.player->status(), Player::Status::readyToPlay) << name;
    return playing;
}

// Playing, with what the listener's next step plays loaded.
bool moving(const Playing& playing) {
    return playing.player->timeControlStatus() == Player::TimeControlStatus::playing &&
           loadedThroughStep(*playing.item, playing.player->rate());
}

class FFmpegSoundTest : public testing::Test {
protected:
    void play(const Playing& playing, float rate = 1) {
        playing.player->setRate(rate);
        ASSERT_TRUE(listener.waitForDevice());
    }
    void TearDown() override {
        // Every player is gone: the device closed with the last one.
        EXPECT_FALSE(listener.capture.isOpen());
    }

    testsupport::ManualClockScope clock;
    mediatest::EngineScope engine{media::FFmpegEngine::create()};
    Listener listener{clock};
};

TEST_F(FFmpegSoundTest, TheToneFollowsVolumeMuteAndPause) {
    const auto tone = open(FixtureVideos::kTone440);
    play(tone);
    const auto plays = [&] { return moving(tone); };
    const Channel full = listener.listen(0.9, plays);
    EXPECT_NEAR(frequency(full, 0.05, 0.85), 440, 2);
    EXPECT_NEAR(amplitude(full, 0.05, 0.85), kTone, 0.03 * kTone);
    EXPECT_LT(listener.sideDifference, 0.01);

    tone.player->setVolume(0.5);
    const Channel half = listener.listen(1, plays);  // 0.9 to 1.9 s, the mark at 1 s
    EXPECT_NEAR(amplitude(half, 0.3, 0.95) / amplitude(full, 0.05, 0.85), 0.5, 0.025);

    tone.player->setMuted(true);
    const Channel muted = listener.listen(0.3, plays);
    EXPECT_EQ(peak(muted, 0.01, 0.3), 0) << "after a 5 ms ramp";

    tone.player->setMuted(false);
    tone.player->pause();
    const Channel paused = listener.listen(0.3);
    EXPECT_EQ(peak(paused, 0, 0.3), 0);
    EXPECT_NEAR(tone.player->currentTime().toSeconds(), 2.2, 1e-6);

    tone.player->play();
    const Channel resumed = listener.listen(0.5, plays);
    EXPECT_NEAR(amplitude(resumed, 0, 0.5), 0.5 * kTone, 0.025 * kTone);
    EXPECT_EQ(listener.capture.openCount(), 1);
}

TEST_F(FFmpegSoundTest, ASeekResumesTheToneFromTheNewPosition) {
    const auto tone = open(FixtureVideos::kTone440);
    play(tone);
    const auto plays = [&] { return moving(tone); };
    (void)listener.listen(0.3, plays);
    for (const double target : {2.5, 0.2}) {
        SCOPED_TRACE(target);
        // The player waits for the new position's data, picture and sound alike.
        tone.player->seekToTime(media::Time::seconds(target));
        const Channel after = listener.listen(1, plays);
        EXPECT_NEAR(amplitude(after, 0, 0.3), kTone, 0.03 * kTone);
        const auto quiet = silences(after);
        ASSERT_FALSE(quiet.empty());
        // The next mark, at the next whole second.
        EXPECT_NEAR(quiet.front(), std::ceil(target) - target, 0.01);
    }
}

TEST_F(FFmpegSoundTest, SoundAndPictureStayTogetherToTheEnd) {
    const auto tone = open(FixtureVideos::kTone440);
    play(tone);
    const double start = clock->monotonicSeconds();
    std::vector<double> whiteFrom;
    bool white = false;
    double shown = -1;
    const auto playsOn = [&] { return moving(tone) || tone.player->rate() == 0; };
    listener.listen(4.3, playsOn, [&](double hostTime) {
        const media::Time time = tone.output->itemTimeForHostTime(hostTime);
        // The frame due now, once the engine has it, when a new one is due.
        const double due = std::floor(time.toSeconds() * 25 + 1e-6) / 25;
        if (time.toSeconds() >= 3.99 || shown >= due - 1e-6) return;
        EXPECT_TRUE(waitFor([&] { return tone.output->hasNewPixelBufferForItemTime(time); }));
        media::Time display;
        const auto frame = tone.output->copyPixelBufferForItemTime(time, &display);
        if (!frame) return;
        shown = display.toSeconds();
        const bool nowWhite = frame->yCbCrAt(80, 48)[0] > 128;
        if (nowWhite && !white) whiteFrom.push_back(hostTime - start);
        white = nowWhite;
    });
    const auto quiet = silences(listener.heard);
    ASSERT_EQ(whiteFrom.size(), 3u);
    ASSERT_GE(quiet.size(), 3u);
    for (size_t mark = 0; mark < 3; ++mark) {
        SCOPED_TRACE(mark);
        EXPECT_NEAR(quiet[mark], whiteFrom[mark], 0.04);
        EXPECT_NEAR(quiet[mark], FixtureVideos::kMarks[mark], 0.01);
    }
    // The end stops both.
    EXPECT_EQ(tone.player->rate(), 0);
    EXPECT_EQ(peak(listener.heard, 4.05, 4.3), 0);
}

TEST_F(FFmpegSoundTest, PlayersMixAndTheRateActsOnTheSound) {
    auto tone = open(FixtureVideos::kTone440);
    auto other = open(FixtureVideos::kTone1000);  // sound only
    tone.player->play();
    play(other);
    // Both tracks open before the listening starts: a track the engine has
    // not opened yet counts as silence that is ready.
    ASSERT_TRUE(core::RunLoop::main().runUntil(
        [] { return media::AudioOutput::shared().soundingStreams() == 2; }, 10));
    const Channel both = listener.listen(0.8, [&] { return moving(tone) && moving(other); });
    EXPECT_NEAR(toneAmplitude(both, 0.1, 0.8, 440), kTone, 0.03 * kTone);
    EXPECT_NEAR(toneAmplitude(both, 0.1, 0.8, 1000), FixtureVideos::kTone1000Amplitude,
                0.03 * FixtureVideos::kTone1000Amplitude);

    // Twice as fast: an octave up, the mark at 1 s after 0.1 s.
    tone.player->setRate(2);
    other.player->pause();
    const Channel fast = listener.listen(0.3, [&] { return moving(tone); });
    EXPECT_NEAR(frequency(fast, 0.02, 0.09), 880, 4);
    const auto quiet = silences(fast);
    ASSERT_FALSE(quiet.empty());
    EXPECT_NEAR(quiet.front(), 0.1, 0.01);

    // The device stays open while a player with sound is left.
    tone = {};
    EXPECT_TRUE(listener.capture.isOpen());
    other = {};
    EXPECT_FALSE(listener.capture.isOpen());
    EXPECT_EQ(listener.capture.openCount(), 1);
}

TEST_F(FFmpegSoundTest, AResampledMonoTrackIsHeardWholeOnBothSides) {
    // 8 kHz, mono, at 8 kbit/s: a 440 Hz sine of amplitude 1/8, give or take
    // what so few bits keep.
    const auto clip = open(FixtureVideos::kMoovFirst);
    play(clip);
    const Channel heard = listener.listen(0.9, [&] { return moving(clip); });
    EXPECT_NEAR(frequency(heard, 0.1, 0.9), 440, 2);
    EXPECT_NEAR(amplitude(heard, 0.1, 0.9), 0.14, 0.02);
    EXPECT_EQ(listener.sideDifference, 0);
}

// Without a device, clips play to their end and one line says why.
TEST(FFmpegSoundWithoutDevice, PlaysSilentlyWithOneLine) {
    testsupport::ManualClockScope clock;
    mediatest::EngineScope engine{media::FFmpegEngine::create()};
    core::Console::Capture console;
    const auto lines = [&](const std::string& text) {
        const auto all = console.lines();
        return std::count_if(all.begin(), all.end(),
                             [&](const std::string& line) { return line.find(text) != line.npos; });
    };
    // Plays to the end once `tried` says the output gave up on a device.
    const auto playToEnd = [&](const std::function<bool()>& tried) {
        const auto tone = open(FixtureVideos::kTone440);
        tone.player->play();
        EXPECT_TRUE(waitFor(tried));
        for (int step = 0; step < 100 && tone.player->rate() > 0; ++step) {
            ASSERT_TRUE(waitFor([&] { return moving(tone) || tone.player->rate() == 0; }));
            clock.advance(0.1);
        }
        EXPECT_NEAR(tone.player->currentTime().toSeconds(), 4, 0.02);
    };
    auto& output = media::AudioOutput::shared();
    int opens = 0;
    const auto before =
        output.setDeviceFactory([&](media::AudioDevice::Renderer, std::string* error) {
            ++opens;
            *error = "no sound card";
            return std::unique_ptr<media::AudioDevice>();
        });
    playToEnd([&] { return opens == 1; });
    // Tried again for the next clip, and not said again.
    playToEnd([&] { return opens == 2; });
    EXPECT_EQ(lines("AudioOutput: no sound device (no sound card)"), 1);

    // The headless run's way: no factory at all.
    output.setDeviceFactory(nullptr, "headless run");
    const auto said = [&] { return lines("AudioOutput: no sound device (headless run)") > 0; };
    playToEnd(said);
    playToEnd(said);
    EXPECT_EQ(lines("AudioOutput: no sound device (headless run)"), 1);
    output.setDeviceFactory(before);
    EXPECT_FALSE(output.isDeviceOpen());
}

}  // namespace
