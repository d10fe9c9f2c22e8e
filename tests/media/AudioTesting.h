#pragma once
// Shared by the tests that listen to what players play: the audio output's
// capture sink pulled in steps of the manual clock, and measures of the
// samples heard (level, frequency, where the sound stops).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <functional>
#include <numbers>
#include <vector>

#include "core/Clock.h"
#include "core/RunLoop.h"
#include "media/AudioCapture.h"
#include "media/AudioOutput.h"
#include "media/PlayerItem.h"
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

// From the periods between rising zero crossings (each placed between its
// two samples): their median, so that a jump in a real-time device's stream
// does not count.
inline double frequency(const Channel& samples, double from, double to) {
    std::vector<double> periods;
    double last = -1;
    for (std::size_t i = frameAt(from) + 1; i < std::min(frameAt(to), samples.size()); ++i) {
        if (!(samples[i - 1] < 0 && samples[i] >= 0)) continue;
        const double at = double(i - 1) + samples[i - 1] / (samples[i - 1] - samples[i]);
        if (last >= 0) periods.push_back(at - last);
        last = at;
    }
    if (periods.empty()) return 0;
    std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
    return kRate / periods[periods.size() / 2];
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

// Sets an environment variable (SDL's audio driver) for the scope's lifetime.
class Environment {
public:
    Environment(const char* name, const std::string& value) : name_(name) {
        if (const char* set = std::getenv(name)) previous_ = set;
        setenv(name, value.c_str(), 1);
    }
    ~Environment() {
        if (previous_) {
            setenv(name_, previous_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

private:
    const char* name_;
    std::optional<std::string> previous_;
};

// The left channel of interleaved stereo read from a file of floats (what
// SDL's disk driver wrote), and where its sound starts (0.05 or louder).
inline Channel leftOfFile(const std::string& path, double* soundFrom) {
    std::ifstream in(path, std::ios::binary);
    float frame[2];
    Channel left;
    while (in.read(reinterpret_cast<char*>(frame), sizeof frame)) left.push_back(frame[0]);
    std::size_t start = 0;
    while (start < left.size() && std::abs(left[start]) < 0.05f) ++start;
    *soundFrom = double(start) / kRate;
    return left;
}

// Whether the item has loaded what it plays in one listener's step at rate
// (up to its end). Past the end of what is loaded its player stops and
// waits for the engine to read on; the manual clock easily outruns an
// engine thread that a busy machine holds back, and such a stop in the
// middle of a step shifts the rest of the sound against the clock.
inline bool loadedThroughStep(const media::PlayerItem& item, double rate) {
    const double from = item.currentTime().toSeconds();
    double to = from + rate * double(kStepFrames) / kRate;
    if (item.duration().isNumeric()) to = std::min(to, item.duration().toSeconds());
    constexpr double kSlack = 1e-6;
    return std::any_of(item.loadedTimeRanges().begin(), item.loadedTimeRanges().end(),
                       [&](const media::TimeRange& range) {
                           return range.startSeconds() <= from + kSlack &&
                                  range.endSeconds() >= to - kSlack;
                       });
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
