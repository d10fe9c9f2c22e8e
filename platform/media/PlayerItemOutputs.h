#pragma once
// The video outputs of one item and the frames the engine delivered from
// the one on screen on (the engine decodes ahead of the play position), so
// that an output added later starts with the frame on screen and the ones
// already decoded after it. The item owns it; the engine's sink shares it,
// so that frames never need the item itself on an engine thread.
//
// Each flush (a seek) starts a new epoch: frames the engine decoded for an
// earlier epoch, delivered after the flush, are dropped.
//
// Safe from any thread.

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "media/ItemTimebase.h"
#include "media/VideoOutput.h"

namespace media {

class PlayerItemOutputs {
public:
    explicit PlayerItemOutputs(std::shared_ptr<ItemTimebase> timebase)
        : timebase_(std::move(timebase)) {}
    ~PlayerItemOutputs();
    PlayerItemOutputs(const PlayerItemOutputs&) = delete;
    PlayerItemOutputs& operator=(const PlayerItemOutputs&) = delete;

    void add(const std::shared_ptr<VideoOutput>& output);
    void remove(const std::shared_ptr<VideoOutput>& output);
    [[nodiscard]] std::vector<std::shared_ptr<VideoOutput>> outputs() const;

    [[nodiscard]] std::uint64_t epoch() const;
    void deliver(std::shared_ptr<const PixelBuffer> frame, double time, std::uint64_t epoch);
    // Forgets queued frames and the last one and starts a new epoch (a seek).
    void flush();

private:
    struct Frame {
        std::shared_ptr<const PixelBuffer> buffer;
        double time = 0;
    };

    const std::shared_ptr<ItemTimebase> timebase_;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<VideoOutput>> outputs_;
    // Drops the frames passed by the one due at the item's time; mutex_ held.
    void pruneLocked();

    std::deque<Frame> recent_;
    std::uint64_t epoch_ = 0;
};

}  // namespace media
