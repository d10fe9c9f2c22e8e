#include "media/AudioCapture.h"

#include <algorithm>

#include "core/Clock.h"
#include "media/AudioOutput.h"

namespace media {

struct AudioCapture::State {
    AudioDevice::Renderer renderer;
    int opened = 0;
};

namespace {

class CaptureDevice final : public AudioDevice {
public:
    explicit CaptureDevice(std::weak_ptr<AudioCapture::State> state) : state_(std::move(state)) {}
    ~CaptureDevice() override;

private:
    std::weak_ptr<AudioCapture::State> state_;
};

}  // namespace

// (Defined here, where State is complete.)
CaptureDevice::~CaptureDevice() {
    if (const auto state = state_.lock()) state->renderer = nullptr;
}

AudioCapture::AudioCapture() : state_(std::make_shared<State>()) {
    std::weak_ptr<State> weak = state_;
    previous_ = AudioOutput::shared().setDeviceFactory(
        [weak](AudioDevice::Renderer renderer, std::string* error) -> std::unique_ptr<AudioDevice> {
            const auto state = weak.lock();
            if (!state) {
                if (error) *error = "the capture is gone";
                return nullptr;
            }
            state->renderer = std::move(renderer);
            ++state->opened;
            return std::make_unique<CaptureDevice>(weak);
        });
}

AudioCapture::~AudioCapture() {
    AudioOutput::shared().setDeviceFactory(std::move(previous_));
}

bool AudioCapture::isOpen() const {
    return static_cast<bool>(state_->renderer);
}

int AudioCapture::openCount() const {
    return state_->opened;
}

std::vector<float> AudioCapture::render(std::size_t frames) {
    std::vector<float> samples(frames * kAudioChannels, 0.0f);
    render(samples.data(), frames);
    return samples;
}

void AudioCapture::render(float* out, std::size_t frames) {
    if (state_->renderer) {
        state_->renderer(out, frames, core::Clock::current()->monotonicSeconds());
    } else {
        std::fill(out, out + frames * kAudioChannels, 0.0f);
    }
}

}  // namespace media
