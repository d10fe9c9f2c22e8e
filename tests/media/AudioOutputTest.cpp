// The audio output's mix on streams fed by hand: where each sample is
// heard against the item's timebase (jumps, drift, pauses, rates, ends,
// seeks), how streams add up and what the audio session silences, and when
// the device opens and closes.

#include <gtest/gtest.h>

#include <cmath>

#include "AudioTesting.h"
#include "media/AudioOutput.h"
#include "support/ManualClockScope.h"
#include "ui/AudioSession.h"
#include "ui/DeviceProfile.h"

namespace {

using media::AudioStream;
using media::ItemAudioSettings;
using media::ItemTimebase;

constexpr double kRate = media::kAudioSampleRate;
constexpr std::size_t kFrames = 480;

// Sound whose every sample says when it is meant to be heard: time / 10.
void pushTimeSignal(AudioStream& stream, double from, double to, std::uint64_t epoch = 0) {
    std::vector<float> chunk;
    for (auto frame = static_cast<std::int64_t>(from * kRate); frame < to * kRate;) {
        chunk.clear();
        const double start = static_cast<double>(frame) / kRate;
        for (int i = 0; i < 1024; ++i, ++frame) {
            const auto value = static_cast<float>(static_cast<double>(frame) / kRate / 10);
            chunk.insert(chunk.end(), {value, value});
        }
        stream.push(chunk.data(), 1024, start, epoch);
    }
}

// The left channel of one mix, as item times.
std::vector<double> heardTimes(AudioStream& stream, double hostTime, std::size_t frames = kFrames) {
    std::vector<float> out(frames * 2, 0.0f);
    stream.mix(out.data(), frames, hostTime, true);
    std::vector<double> times;
    for (std::size_t i = 0; i < frames; ++i) times.push_back(out[2 * i] * 10.0);
    return times;
}

class AudioOutputTest : public testing::Test {
protected:
    double now() const { return clock->monotonicSeconds(); }

    testsupport::ManualClockScope clock;
    std::shared_ptr<ItemTimebase> timebase = std::make_shared<ItemTimebase>();
    std::shared_ptr<ItemAudioSettings> settings = std::make_shared<ItemAudioSettings>();
};

TEST_F(AudioOutputTest, EachSampleIsHeardAtItsItemTime) {
    AudioStream stream(timebase, settings);
    stream.setTrack(1);
    pushTimeSignal(stream, 0, 3);
    timebase->set(0.5, 1, 3);
    auto times = heardTimes(stream, now());
    for (std::size_t i = 0; i < kFrames; i += 97) EXPECT_NEAR(times[i], 0.5 + i / kRate, 1e-6);

    // A device that asks 3 ms later than the timebase says: no jump, the
    // stream catches up by playing at most 0.5% faster.
    double last = times.back();
    double largestStep = 0;
    for (int call = 1; call <= 200; ++call) {
        times = heardTimes(stream, now() + call * 0.01 + 0.003);
        // (Over a few frames: the samples are floats.)
        largestStep = std::max(largestStep, (times[15] - last) / 16);
        last = times.back();
    }
    EXPECT_LT(largestStep * kRate, 1.0051);
    EXPECT_NEAR(times.front(), 0.5 + 2.003, 3 / kRate);

    // A jump (a seek) is followed at once; a pause is silent and keeps the
    // place; half the rate plays between the samples.
    timebase->set(2.7, 1, 3);
    EXPECT_NEAR(heardTimes(stream, now()).front(), 2.7, 1e-6);
    timebase->set(2.71, 0, 3);
    for (double time : heardTimes(stream, now())) EXPECT_EQ(time, 0);
    timebase->set(2.71, 0.5, 3);
    times = heardTimes(stream, now());
    EXPECT_NEAR(times.front(), 2.71, 1e-6);
    EXPECT_NEAR(times.back(), 2.71 + 0.5 * (kFrames - 1) / kRate, 1e-6);

    // The timebase's limit (an end) stops the sound in the middle of a mix.
    timebase->set(2.995, 1, 3);
    times = heardTimes(stream, now());
    EXPECT_NEAR(times[239], 2.995 + 239 / kRate, 1e-6);
    EXPECT_EQ(times[241], 0);
}

// A timebase that goes back without a flush (a player that re-anchors its
// clock) is followed at once, like a jump forward; the stream keeps a tenth
// of a second behind its place, so it has the samples of a short step back.
TEST_F(AudioOutputTest, ATimebaseMovedBackIsFollowedAtOnce) {
    AudioStream stream(timebase, settings);
    stream.setTrack(1);
    pushTimeSignal(stream, 0, 3);
    timebase->set(1.0, 1, 3);
    EXPECT_NEAR(heardTimes(stream, now()).front(), 1.0, 1e-6);
    timebase->set(0.95, 1, 3);
    EXPECT_NEAR(heardTimes(stream, now()).front(), 0.95, 1e-6);
    EXPECT_NEAR(heardTimes(stream, now() + kFrames / kRate).front(), 0.95 + kFrames / kRate, 1e-6);

    // Half a second back is past what is kept: silence where the samples
    // were, never the sound of one second on.
    timebase->set(0.5, 1, 3);
    for (double time : heardTimes(stream, now())) EXPECT_EQ(time, 0);
}

TEST_F(AudioOutputTest, SeeksDropWhatWasQueuedAndGapsKeepTheirPlace) {
    AudioStream stream(timebase, settings);
    stream.setTrack(1);
    pushTimeSignal(stream, 0, 1);
    const auto epoch = stream.flush();
    // Decoded for the old position after the seek: never heard.
    pushTimeSignal(stream, 1, 2, epoch - 1);
    timebase->set(1.2, 1, 10);
    EXPECT_FALSE(stream.isBufferedUntil(now()));
    EXPECT_EQ(heardTimes(stream, now()).front(), 0);
    pushTimeSignal(stream, 1, 1.5, epoch);
    // Sound resumes a tenth later: the gap is silence, then each sample at its time.
    pushTimeSignal(stream, 1.6, 2, epoch);
    EXPECT_TRUE(stream.isBufferedUntil(now() + 0.7));
    EXPECT_FALSE(stream.isBufferedUntil(now() + 0.9));
    EXPECT_NEAR(heardTimes(stream, now()).front(), 1.2, 1e-6);
    timebase->set(1.55, 1, 10);
    EXPECT_EQ(heardTimes(stream, now()).front(), 0);
    timebase->set(1.6, 1, 10);
    EXPECT_NEAR(heardTimes(stream, now()).front(), 1.6, 1e-6);
    stream.endInput(epoch);
    EXPECT_TRUE(stream.isBufferedUntil(now() + 5));
}

TEST_F(AudioOutputTest, StreamsAddUpAtTheirLevelsUnlessTheSessionSilencesThem) {
    auto& output = media::AudioOutput::shared();
    media::AudioCapture capture;
    const auto constant = [&](float value, const std::shared_ptr<ItemAudioSettings>& level) {
        auto stream = output.addStream(timebase, level);
        stream->setTrack(7);
        const std::vector<float> samples(2 * 48000, value);
        stream->push(samples.data(), 48000, 0, stream->epoch());
        return stream;
    };
    auto quieter = std::make_shared<ItemAudioSettings>();
    quieter->setPlayerLevel(0.5, false);
    media::AudioMix mix;
    mix.inputParameters.push_back({7, 0.5f, media::Time::zero()});
    quieter->setMix(mix);
    const auto loud = constant(0.3f, settings);
    const auto soft = constant(0.4f, quieter);
    timebase->set(0, 1, 10);
    output.soundWanted();
    ASSERT_TRUE(capture.isOpen());
    EXPECT_FLOAT_EQ(capture.render(kFrames)[700], 0.3f + 0.25f * 0.4f);
    settings->setPlayerLevel(3, false);  // within 0..1: 1
    EXPECT_FLOAT_EQ(capture.render(kFrames)[700], 0.3f + 0.1f);
    quieter->setPlayerLevel(1, false);
    quieter->setMix(std::nullopt);
    const auto third = constant(0.5f, std::make_shared<ItemAudioSettings>());
    EXPECT_FLOAT_EQ(capture.render(kFrames)[700], 1.0f) << "clipped";

    // Not heard under the record-only category, nor under the ambient ones
    // with the silent switch on; the playback category is heard regardless.
    auto& session = ui::AudioSession::shared();
    ui::DeviceProfile silent = ui::DeviceProfile::current();
    const ui::DeviceProfile previous = silent;
    silent.audio.silentMode = true;
    for (const auto& [category, silentMode, heard] :
         std::vector<std::tuple<const char*, bool, bool>>{
             {ui::AudioSession::CategoryRecord, false, false},
             {ui::AudioSession::CategorySoloAmbient, false, true},
             {ui::AudioSession::CategorySoloAmbient, true, false},
             {ui::AudioSession::CategoryAmbient, true, false},
             {ui::AudioSession::CategoryPlayback, true, true}}) {
        SCOPED_TRACE(std::string(category) + (silentMode ? " silent" : ""));
        ui::DeviceProfile::overrideForTesting(silentMode ? silent : previous);
        ASSERT_TRUE(session.setCategory(category));
        (void)capture.render(kFrames);  // past the ramp
        EXPECT_EQ(capture.render(kFrames)[0] != 0, heard);
    }
    ui::DeviceProfile::overrideForTesting(previous);
    session.resetForTesting();
    for (const auto& stream : {loud, soft, third}) output.removeStream(stream);
    EXPECT_FALSE(capture.isOpen());
}

TEST_F(AudioOutputTest, TheDeviceIsOpenWhileAStreamWithSoundIsThere) {
    auto& output = media::AudioOutput::shared();
    media::AudioCapture capture;
    const auto silent = output.addStream(timebase, settings);  // a clip without sound
    output.soundWanted();
    EXPECT_FALSE(capture.isOpen());
    const auto sounding = output.addStream(timebase, settings);
    sounding->setTrack(1);
    output.soundWanted();
    output.soundWanted();
    EXPECT_TRUE(capture.isOpen());
    EXPECT_EQ(capture.openCount(), 1);
    output.removeStream(sounding);
    EXPECT_FALSE(capture.isOpen());
    output.removeStream(silent);
}

}  // namespace
