#pragma once
// Where the video views take their frames: a video output on the player's
// current item, asked at each draw for the newest frame due at the time the
// draw will be on screen. An output that has produced no frame for longer
// than the threshold (0.1 s, or the server's
// "video_processing_output_empty_frame_timeinterval_threshold") since the
// rendering started or the output was last replaced is replaced by a new
// one, at most kMaximumOutputReplacements times per rendering start; after
// that the source gives up, once, and the view stops retrying (the 360-degree
// view reports the failure and the ad falls back to the flat view).
//
// Used by one thread at a time: the flat view's main thread or the
// 360-degree view's render thread. A source on another thread than the main
// one takes the item from a provider that is safe there (the player is
// not), and hands the items it let go of to the main thread.

#include <functional>
#include <memory>
#include <string_view>

#include "media/PixelBuffer.h"
#include "media/Player.h"
#include "media/VideoOutput.h"

namespace ads {

class DZVideoFrameSource {
public:
    static constexpr std::string_view kEmptyOutputThresholdKey =
        "/dozuza/ads/video_processing_output_empty_frame_timeinterval_threshold";
    static constexpr double kDefaultEmptyOutputThreshold = 0.1;
    static constexpr int kMaximumOutputReplacements = 10;
    static constexpr const char* kNoFramesMessage = "Video output produced no frames.";

    struct Pull {
        // The new frame, when one is due.
        std::shared_ptr<const media::PixelBuffer> frame;
        // True on the one pull at which the source gave up.
        bool gaveUp = false;
    };

    // The item an output goes on: the player's current item at that moment.
    using ItemProvider = std::function<std::shared_ptr<media::PlayerItem>()>;

    // Reads the threshold now. On the main thread only.
    explicit DZVideoFrameSource(std::shared_ptr<media::Player> player);
    explicit DZVideoFrameSource(ItemProvider currentItem);
    ~DZVideoFrameSource();
    DZVideoFrameSource(const DZVideoFrameSource&) = delete;
    DZVideoFrameSource& operator=(const DZVideoFrameSource&) = delete;

    // A rendering starts: a new output on the player's current item, and
    // the wait, the frame flag and the replacement count start over.
    void start();
    // The output leaves its item; the source is idle until start().
    void stop();
    // A new output on the player's current item in place of the current one
    // (the view is back in a window or the app in the foreground); the frame
    // flag, the wait and the replacement count go on.
    void resetVideoOutput();
    // The frame for a host time (core::Clock monotonic seconds), and the
    // output's replacement when it is due.
    Pull pull(double hostTime);

    [[nodiscard]] bool hasDisplayedAtLeastOnePixelBuffer() const { return hasDisplayedFrame_; }
    [[nodiscard]] int outputReplacements() const { return replacements_; }
    [[nodiscard]] bool hasGivenUp() const { return gaveUp_; }
    [[nodiscard]] double emptyOutputThreshold() const { return threshold_; }
    [[nodiscard]] const std::shared_ptr<media::VideoOutput>& videoOutput() const { return output_; }

private:
    void detachOutput();

    const std::shared_ptr<media::Player> player_;
    const ItemProvider currentItem_;
    const double threshold_;
    std::shared_ptr<media::VideoOutput> output_;
    std::weak_ptr<media::PlayerItem> outputItem_;
    double displayStart_ = 0;
    bool hasDisplayedFrame_ = false;
    int replacements_ = 0;
    bool gaveUp_ = false;
};

}  // namespace ads
