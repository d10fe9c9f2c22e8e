#pragma once
// What the publisher's video controller asks of the video of an ad,
// whatever plays it: commands and the state read back. Main thread.

#include <cstdint>

namespace ads {

class DZVideoOptions;

class DZVideoControlling {
public:
    virtual ~DZVideoControlling() = default;

    virtual void setMute(bool mute) = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    // options nullptr: a fresh DZVideoOptions.
    virtual void setInitialStateWithVideoOptions(const DZVideoOptions* options) = 0;
    [[nodiscard]] virtual bool hasVideoContent() const = 0;
    [[nodiscard]] virtual double aspectRatio() const = 0;
    [[nodiscard]] virtual bool customControlsEnabled() const = 0;
    [[nodiscard]] virtual std::int64_t videoPlaybackState() const = 0;
};

}  // namespace ads
