#pragma once
// Hands out the frames of the item it is added to, as NV12 pixel buffers,
// for whoever draws them (a view's render loop). Frames arrive from the
// engine ahead of their time; copyPixelBufferForItemTime() answers the
// newest one due at the asked item time that was not handed out yet, and
// drops the older ones. An output keeps at most kMaxQueuedFrames.
//
// Safe from any thread.

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>

#include "media/ItemTimebase.h"
#include "media/PixelBuffer.h"
#include "media/Time.h"

namespace media {

class VideoOutput {
public:
    static constexpr std::size_t kMaxQueuedFrames = 16;

    [[nodiscard]] static std::shared_ptr<VideoOutput> create();

    // The item time shown at a host time (Clock::current()->monotonicSeconds()
    // scale); invalid while the output is on no item.
    [[nodiscard]] Time itemTimeForHostTime(double hostTime) const;
    [[nodiscard]] bool hasNewPixelBufferForItemTime(Time itemTime) const;
    // nullptr when no frame not handed out yet is due at itemTime.
    [[nodiscard]] std::shared_ptr<const PixelBuffer>
    copyPixelBufferForItemTime(Time itemTime, Time* displayTime = nullptr);

    // The item's side.
    void attach(std::shared_ptr<ItemTimebase> timebase);
    void detach();
    [[nodiscard]] bool isAttached() const;
    void push(std::shared_ptr<const PixelBuffer> frame, double time);
    void flush();

private:
    struct Frame {
        std::shared_ptr<const PixelBuffer> buffer;
        double time = 0;
    };
    struct Private {};

public:
    explicit VideoOutput(Private) {}

private:
    mutable std::mutex mutex_;
    std::shared_ptr<ItemTimebase> timebase_;
    std::deque<Frame> frames_;
};

}  // namespace media
