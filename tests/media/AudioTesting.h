#pragma once
// Shared by the tests that listen to what players play: the audio output's
// capture sink pulled in steps of the manual clock, and measures of the
// samples heard (level, frequency, where the sound stops).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <numbers>
#include <vector>

#include "core/Clock.h"
#include "core/RunLoop.h"
#include "media/AudioCapture.h"
#include "media/AudioOutput.h"
#include "support/ManualClockScope.h"

namespace audiotest {

constexpr double kRate = media::kAudioSampleRate;
// The step of the clock between two pulls: 10 ms.
constexpr std::size_t kStepFrames = media::kAudioSampleRate / 100;

inline std::size_t frameAt(double seconds) {
    return static_cast<std::size_t>(std::llround(seconds * kRate));
}

// The samples of one channel in [from, to) seconds of what was heard.
using Channel = std::vector<float>;

inline double rms(const Channel& samples, double from, double to) {
    const std::size_t begin = frameAt(from), end = std::min(frameAt(to), samples.size());
    double sum = 0;
    for (std::size_t i = begin; i < end; ++i) sum += double(samples[i]) * samples[i];
    return end > begin ? std::sqrt(sum / double(end - begin)) : 0;
}

// A sine's amplitude from its RMS.
inline double amplitude(const Channel& samples, double from, double to) {
    return rms(samples, from, to) * std::numbers::sqrt2;
}

inline double peak(const Channel& samples, double from, double to) {
    double found = 0;
    for (std::size_t i = frameAt(from); i < std::min(frameAt(to), samples.size()); ++i)
        found = std::max(found, double(std::abs(samples[i])));
    return found;
}

// From the first to the last rising zero crossing, each placed between
// its two samples.
inline double frequency(const Channel& samples, double from, double to) {
    double first = -1, last = -1;
    int crossings = 0;
    for (std::size_t i = frameAt(from) + 1; i < std::min(frameAt(to), samples.size()); ++i) {
        if (!(samples[i - 1] < 0 && samples[i] >= 0)) continue;
        const double at = double(i - 1) + samples[i - 1] / (samples[i - 1] - samples[i]);
        if (first < 0) first = at;
        last = at;
        ++crossings;
    }
    return crossings > 1 ? (crossings - 1) * kRate / (last - first) : 0;
}

// The amplitude of the frequency's component (Goertzel).
inline double toneAmplitude(const Channel& samples, double from, double to, double hertz) {
    const std::size_t begin = frameAt(from), end = std::min(frameAt(to), samples.size());
    const double w = 2 * std::numbers::pi * hertz / kRate;
    double re = 0, im = 0;
    for (std::size_t i = begin; i < end; ++i) {
        re += samples[i] * std::cos(w * double(i));
        im += samples[i] * std::sin(w * double(i));
    }
    return 2 * std::hypot(re, im) / double(end - begin);
}

// Seconds at which the sound stops for at least 20 ms after sounding.
inline std::vector<double> silences(const Channel& samples, double threshold = 0.02) {
    const std::size_t quiet = frameAt(0.02);
    std::vector<double> found;
    std::size_t lastLoud = 0, run = 0;
    bool sounding = false;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) > threshold) {
            lastLoud = i;
            run = 0;
            sounding = true;
            continue;
        }
        if (sounding && ++run == quiet) {
            found.push_back(double(lastLoud + 1) / kRate);
            sounding = false;
        }
    }
    return found;
}

// Pulls the capture in 10 ms steps of the manual clock, each once the
// engine has the sound heard in it; keeps the left channel of all of it.
class Listener {
public:
    explicit Listener(const testsupport::ManualClockScope& clock) : clock_(clock) {}

    // Waits for the output to open the capture (a player with sound plays).
    [[nodiscard]] bool waitForDevice() {
        return core::RunLoop::main().runUntil([&] { return capture.isOpen(); }, 10);
    }
    // Listens for seconds; each step waits for the engine's reports and
    // whatever else `ready` waits for (a player that moves), and runs `each`
    // after its pull, at the step's host time. Answers the left channel of
    // this stretch.
    Channel listen(double seconds, const std::function<bool()>& ready = {},
                   const std::function<void(double hostTime)>& each = {}) {
        Channel stretch;
        const auto steps = static_cast<int>(std::llround(seconds * 100));
        for (int step = 0; step < steps; ++step) {
            const double now = core::Clock::current()->monotonicSeconds();
            (void)core::RunLoop::main().runOnce();
            const bool waited = core::RunLoop::main().runUntil(
                [&] {
                    return (!ready || ready()) &&
                           media::AudioOutput::shared().isBufferedUntil(now + 0.01);
                },
                10);
            EXPECT_TRUE(waited) << "no sound for " << now;
            const auto samples = capture.render(kStepFrames);
            for (std::size_t i = 0; i < kStepFrames; ++i) {
                stretch.push_back(samples[2 * i]);
                sideDifference =
                    std::max(sideDifference, double(std::abs(samples[2 * i] - samples[2 * i + 1])));
            }
            if (each) each(now);
            clock_.advance(0.01);
        }
        heard.insert(heard.end(), stretch.begin(), stretch.end());
        return stretch;
    }

    media::AudioCapture capture;
    Channel heard;
    // The most left and right ever differed (the clips have one sound on
    // both, coded apart).
    double sideDifference = 0;

private:
    const testsupport::ManualClockScope& clock_;
};

}  // namespace audiotest
