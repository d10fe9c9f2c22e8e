// DZAdView: the ad view's part of in-ad video, and the video events it logs
// under "adview".

#include "ads/foundation/DZLoggingHierarchy.h"
#include "ads/foundation/DZSawmillEvent.h"
#include "ads/foundation/DZSawmillLogger.h"
#include "ads/native/DZVideoPlayer.h"
#include "ads/native/DZVideoRendering.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

namespace {

constexpr std::string_view kGroup = "adview";

std::optional<core::Dictionary> groupEvent(std::string_view name, core::Value parameters) {
    return DZSawmillEvent(kGroup, core::Dictionary{{std::string(name), std::move(parameters)}});
}

core::Dictionary URLParameters(const std::optional<core::URL>& url) {
    return {{"url", url ? url->absoluteString() : std::string()}};
}

}  // namespace

void DZAdView::reportEvent(const std::optional<core::Dictionary>& event) {
    if (logger_) logger_->reportEvent(event);
}

void DZAdView::createdVideoPlayer(const std::shared_ptr<DZVideoPlayer>& player) {
    if (!player) return;
    DZLoggingHierarchy::sharedInstance()->linkObject(shared_from_this(), {player});
}

void DZAdView::adRenderingStarted() {
    logger_ = DZLoggingHierarchy::sharedInstance()->loggerForObject(shared_from_this());
}

void DZAdView::videoLoadStartedWithURL(const std::optional<core::URL>& url) {
    reportEvent(groupEvent("video_load_started", URLParameters(url)));
}

void DZAdView::videoLoadSucceededWithURL(const std::optional<core::URL>& url) {
    reportEvent(groupEvent("video_load_succeeded", URLParameters(url)));
}

void DZAdView::openGLVideoRenderingStarted() {
    reportEvent(DZSawmillFlagEvent(kGroup, "opengl_rendering_started"));
}

void DZAdView::openGLVideoRenderingFailedWithError(const Error& error) {
    reportEvent(groupEvent("opengl_rendering_failed", DZSawmillErrorParameters(error)));
}

void DZAdView::openGLVideoRenderingSucceeded() {
    reportEvent(DZSawmillFlagEvent(kGroup, "opengl_rendering_succeeded"));
}

void DZAdView::videoRenderingStarted() {
    reportEvent(DZSawmillFlagEvent(kGroup, "video_rendering_started"));
}

void DZAdView::videoRenderingSucceeded() {
    if (videoPlayerView_) videoPlayerView_->enableVideoPlaybackOptimization();
    optimizeVideoPlayback();
    reportEvent(DZSawmillFlagEvent(kGroup, "video_rendering_succeeded"));
}

void DZAdView::optimizeVideoPlayback() {
    if (videoPlayerView_) videoPlayerView_->optimizeVideoPlayback(visible_);
}

void DZAdView::setVideoPlayerFrame(const gfx::Rect& frame) {
    cachedVideoPlayerFrame_ = frame;
    if (videoPlayerView_) videoPlayerView_->setFrame(frame);
}

}  // namespace ads
