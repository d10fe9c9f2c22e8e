#pragma once
// Shared by the in-ad video tests: the scripted media engine on a manual
// clock, an ad view showing a page that records every message native code
// sends it, and scripted clips.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "AdWebTesting.h"
#include "ads/core/app/DZMobileAds.h"
#include "ads/foundation/DZDevice.h"
#include "ads/web/view/DZAdView.h"
#include "core/JSON.h"
#include "media/MediaTesting.h"
#include "media/ScriptedEngine.h"
#include "support/ManualClockScope.h"

namespace videotesting {

constexpr const char* kClipURL = "https://ads.example/clip.mp4";

// Keeps what arrives through DUZO_ReceiveMessage, in order.
constexpr const char* kRecordingPage =
    "<html><body style='margin:0; background:transparent'><script>"
    "window.received = [];"
    "window.DUZO_ReceiveMessage = function (name, argument) {"
    "  window.received.push({name: name, argument: argument || null}); };"
    "</script></body></html>";

inline media::AssetTrack videoTrack(gfx::Size size = {640, 360},
                                    gfx::AffineTransform transform = {}) {
    media::AssetTrack track;
    track.mediaType = media::MediaType::video;
    track.trackID = 1;
    track.naturalSize = size;
    track.preferredTransform = transform;
    return track;
}

inline media::AssetTrack audioTrack(std::int32_t trackID = 2) {
    media::AssetTrack track;
    track.mediaType = media::MediaType::audio;
    track.trackID = trackID;
    return track;
}

// A clip of duration seconds with one video track.
inline media::ScriptedMedia clip(double duration = 2) {
    media::ScriptedMedia media;
    media.tracks = {videoTrack(), audioTrack()};
    media.duration = duration;
    return media;
}

// An ad view whose page records what it is sent, once loaded.
class RecordingAdView {
public:
    explicit RecordingAdView(gfx::Rect frame = {0, 0, 320, 250}) {
        adView = ads::DZAdView::create(frame);
        if (!adView) {
            ADD_FAILURE() << "no ad view";
            return;
        }
        adView->setDelegate(delegate);
        adView->loadHTMLString(std::string(kRecordingPage), core::URL::create("https://ads.example/"));
        if (!adwebtesting::waitFor([&] { return delegate->count("finish") > 0; }))
            ADD_FAILURE() << "the recording page did not load";
    }

    // Every message the page got so far, as {"name", "argument"}, after the
    // scripts posted before now have run.
    [[nodiscard]] std::vector<core::Value> received() const {
        // Messages go to the page on a later turn of the run loop after
        // the main queue task that sends them.
        (void)adwebtesting::drainMainQueue();
        bool turned = false;
        core::RunLoop::main().post([&] { turned = true; });
        (void)adwebtesting::waitFor([&] { return turned; });
        const core::Value all = adwebtesting::evaluate(*adView->webView(), "window.received");
        std::vector<core::Value> result;
        if (const auto* array = all.array())
            for (const auto& entry : *array) result.push_back(entry);
        return result;
    }
    // The arguments of the messages of one name.
    [[nodiscard]] std::vector<core::Value> arguments(std::string_view name) const {
        std::vector<core::Value> result;
        for (const auto& message : received())
            if (message["name"].stringValue() == name) result.push_back(message["argument"]);
        return result;
    }
    // The "event" of every "onVideoEvent" so far.
    [[nodiscard]] std::vector<std::string> videoEvents() const {
        std::vector<std::string> events;
        for (const auto& argument : arguments("onVideoEvent"))
            events.push_back(argument["event"].stringValue());
        return events;
    }
    void clear() const { (void)adwebtesting::evaluate(*adView->webView(), "window.received = []; 0"); }

    std::shared_ptr<adwebtesting::RecordingAdViewDelegate> delegate =
        std::make_shared<adwebtesting::RecordingAdViewDelegate>();
    std::shared_ptr<ads::DZAdView> adView;
};

// The scripted engine and a manual clock for one test; the audio-video
// manager starts empty.
class ScriptedVideoScope {
public:
    ScriptedVideoScope() {
        ads::DZMobileAds::resetForTesting();
        ads::DZDevice::sharedInstance()->cacheStaticParameters();  // the screen's density
    }
    ~ScriptedVideoScope() { ads::DZMobileAds::resetForTesting(); }

    // Runs the main queue until its current work is done (items become
    // ready a pass after they start).
    static void settle() {
        for (int i = 0; i < 8; ++i) (void)adwebtesting::drainMainQueue();
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<media::ScriptedEngine> engine = media::ScriptedEngine::create();
    mediatest::EngineScope engineScope{engine};
};

}  // namespace videotesting
