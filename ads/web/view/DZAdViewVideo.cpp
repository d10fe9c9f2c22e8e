// DZAdView: in-ad video. The page's native player and its view (flat, or
// 360 degrees where that can be made) under the web view, their frame,
// visibility and rotation, and the video events logged under "adview".

#include <cmath>

#include "ads/foundation/DZLoggingHierarchy.h"
#include "ads/foundation/DZSawmillEvent.h"
#include "ads/foundation/DZSawmillLogger.h"
#include "ads/video/DZVideoPlayer.h"
#include "ads/video/DZVideoPlayerGLView.h"
#include "ads/video/DZVideoPlayerView.h"
#include "ads/video/DZVideoRendering.h"
#include "ads/web/cache/DZResourceCache.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

namespace {

constexpr std::string_view kGroup = "adview";
constexpr double kRadiansPerDegree = 0.017453292519943295;

std::optional<core::Dictionary> groupEvent(std::string_view name, core::Value parameters) {
    return DZSawmillEvent(kGroup, core::Dictionary{{std::string(name), std::move(parameters)}});
}

core::Dictionary URLParameters(const std::optional<core::URL>& url) {
    return {{"url", url ? url->absoluteString() : std::string()}};
}

}  // namespace

// Logging.

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

// The player.

void DZAdView::setUpVideoPlayerWithURL(const std::optional<core::URL>& url,
                                       const std::shared_ptr<DZResourceCache>& resourceCache,
                                       const std::shared_ptr<DZVideoConfiguration>& configuration) {
    videoLoadStartedWithURL(url);
    removeVideoPlayerView();
    if (!videoPlayer_) {
        videoPlayer_ = DZVideoPlayer::create(self());
        createdVideoPlayer(videoPlayer_);
        videoPlayer_->setDelegate(std::weak_ptr<DZVideoPlayerDelegate>(self()));
    }
    std::optional<core::URL> source = url;
    if (!source && resourceCache) source = resourceCache->request().url();
    videoPlayer_->setSourceURL(source, resourceCache, configuration);
}

void DZAdView::pauseVideo() {
    if (videoPlayer_) videoPlayer_->pause();
}

void DZAdView::playerDidLoadURL(DZVideoPlayer& player, const std::optional<core::URL>& url,
                                const std::shared_ptr<media::Player>& avPlayer) {
    videoLoadSucceededWithURL(url);
    if (!url) return;
    createViewForPlayer(avPlayer);
    if (const auto delegate = this->delegate()) delegate->didLoadVideoWithSize(*this, player.videoSize());
}

// The player's view.

void DZAdView::createViewForPlayer(const std::shared_ptr<media::Player>& player) {
    removeVideoPlayerView();
    if (spherical_) {
        openGLVideoRenderingStarted();
        createSphericalViewForPlayer(player);
    } else {
        videoRenderingStarted();
        createNonSphericalViewForPlayer(player);
        videoRenderingSucceeded();
    }
    if (videoPlayerView_) insertSubview(videoPlayerView_, 0);
    setNeedsLayout();
}

void DZAdView::createSphericalViewForPlayer(const std::shared_ptr<media::Player>& player) {
    if (const auto view = DZVideoPlayerGLView::create(bounds())) {
        view->setDelegate(std::weak_ptr<DZVideoPlayerGLViewDelegate>(self()));
        view->setUpWithPlayer(player);
        videoPlayerView_ = view;
        return;
    }
    notifySphericalVideoRenderingFailedWithError(
        DZErrorWithCodeDescription(kDZErrorInternalError, kSphericalRendererFailureMessage));
    spherical_ = false;
    createNonSphericalViewForPlayer(player);
}

void DZAdView::createNonSphericalViewForPlayer(const std::shared_ptr<media::Player>& player) {
    const auto view = std::make_shared<DZVideoPlayerView>(bounds());
    view->setUpWithPlayer(player);
    videoPlayerView_ = view;
}

void DZAdView::removeVideoPlayerView() {
    if (!videoPlayerView_) return;
    if (const auto glView = std::dynamic_pointer_cast<DZVideoPlayerGLView>(videoPlayerView_)) {
        glView->setUpWithPlayer(nullptr);
        glView->setDelegate({});
    }
    videoPlayerView_->removeFromSuperview();
    videoPlayerView_.reset();
}

void DZAdView::notifySphericalVideoRenderingFailedWithError(const Error& error) {
    postJSNotification(DZVideoPlayer::kPageMessage,
                       core::Dictionary{{"event", "spherical_rendering_failed"},
                                        {"error", error.message}});
}

void DZAdView::videoPlayerGLViewDidSetUpVideoPlayer(DZVideoPlayerGLView&,
                                                    const std::shared_ptr<media::Player>&) {
    openGLVideoRenderingSucceeded();
}

void DZAdView::videoPlayerGLViewDidFailToSetupVideoPlayer(
    DZVideoPlayerGLView& view, const std::shared_ptr<media::Player>& player, const Error& error) {
    openGLVideoRenderingFailedWithError(error);
    if (&view != videoPlayerView_.get()) return;
    notifySphericalVideoRenderingFailedWithError(error);
    spherical_ = false;
    createViewForPlayer(player);
}

// Geometry and visibility.

void DZAdView::setVideoPlayerFrame(const gfx::Rect& frame) {
    if (!videoPlayerView_) return;
    const bool zero = frame.origin.x == 0 && frame.origin.y == 0 && frame.size.width == 0 &&
                      frame.size.height == 0;
    videoPlayerView_->setFrame(zero ? bounds() : frame);
}

void DZAdView::hideVideo() {
    if (videoPlayerView_) videoPlayerView_->setHidden(true);
}

void DZAdView::showVideo() {
    if (videoPlayerView_) videoPlayerView_->setHidden(false);
}

void DZAdView::optimizeVideoPlayback() {
    if (videoPlayerView_) videoPlayerView_->optimizeVideoForAdVisibility(visible_);
}

void DZAdView::rotateVideoToDegrees(double degrees) {
    if (!std::isfinite(degrees)) return;
    if (videoPlayerView_)
        videoPlayerView_->setTransform(
            gfx::AffineTransform::identity().rotated(degrees * kRadiansPerDegree));
    setNeedsLayout();
}

}  // namespace ads
