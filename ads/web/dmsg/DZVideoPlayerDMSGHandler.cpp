#include "ads/web/dmsg/DZVideoPlayerDMSGHandler.h"

#include <algorithm>
#include <cmath>

#include "ads/foundation/DZColorUtilities.h"
#include "ads/foundation/DZFileSystem.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/video/DZVideoConfiguration.h"
#include "ads/video/DZVideoPlayer.h"
#include "ads/video/DZVideoPlayerGLView.h"
#include "ads/video/DZVideoRendering.h"
#include "ads/web/cache/DZGCacheTargetURL.h"
#include "ads/web/dmsg/DZPrecacheDMSGHandler.h"
#include "ads/web/view/DZAdView.h"

namespace ads {

namespace {

// The number a present parameter reads as, when it is finite.
std::optional<double> finiteNumber(const core::Dictionary& parameters, std::string_view key) {
    const core::Value* value = parameters.find(key);
    if (!value) return std::nullopt;
    const double number = value->doubleValue();
    if (!std::isfinite(number)) return std::nullopt;
    return number;
}

// Whether a page may play from the URL.
bool isPlayableSource(const core::URL& url) {
    if (url.hasScheme("http") || url.hasScheme("https") || DZIsGCacheURL(url)) return true;
    return url.isFileURL() && DZPathInsideCacheDirectory(url).has_value();
}

}  // namespace

DZVideoPlayerDMSGHandler::DZVideoPlayerDMSGHandler()
    : precacheDMSGHandler_(std::make_shared<DZPrecacheDMSGHandler>()) {}

const DZDMSGHandler::ActionTable* DZVideoPlayerDMSGHandler::actionBlockDictionary() const {
    using H = DZVideoPlayerDMSGHandler;
    static const ActionTable table = {
        {"video", action(&H::didReceiveVideoAction)},
        {"precache", action(&H::didReceivePrecacheAction)},
    };
    return &table;
}

const DZDMSGHandler::ActionTable* DZVideoPlayerDMSGHandler::subActionBlockDictionary() const {
    using H = DZVideoPlayerDMSGHandler;
    static const ActionTable table = {
        {"new", action(&H::didReceiveNewVideoAction)},
        {"position", action(&H::didReceivePositionVideoAction)},
        {"src", action(&H::didReceiveSetVideoSourceAction)},
        {"load", action(&H::didReceiveLoadVideoAction)},
        {"loadControl", action(&H::didReceiveLoadControlVideoAction)},
        {"play", action(&H::didReceivePlayVideoAction)},
        {"pause", action(&H::didReceivePauseVideoAction)},
        {"volume", action(&H::didReceiveSetVolumeAction)},
        {"muted", action(&H::didReceiveMutedVideoAction)},
        {"currentTime", action(&H::didReceiveSeekToCurrentTimeAction)},
        {"hide", action(&H::didReceiveHideVideoAction)},
        {"show", action(&H::didReceiveShowVideoAction)},
        {"rotation", action(&H::didReceiveRotationVideoAction)},
        {"background", action(&H::didReceiveBackgroundAction)},
        {"touchMove", action(&H::didReceiveTouchMoveAction)},
    };
    return &table;
}

void DZVideoPlayerDMSGHandler::didReceiveVideoAction(const std::shared_ptr<DZAdView>& adView,
                                                     const core::Dictionary& parameters) {
    if (adView) (void)performSubAction("action", adView, parameters);
}

void DZVideoPlayerDMSGHandler::didReceivePrecacheAction(const std::shared_ptr<DZAdView>& adView,
                                                        const core::Dictionary& parameters) {
    precacheDMSGHandler_->adViewDidReceivePrecacheNotification(adView, parameters);
}

void DZVideoPlayerDMSGHandler::didReceiveNewVideoAction(const std::shared_ptr<DZAdView>& adView,
                                                        const core::Dictionary& parameters) {
    didReceivePositionVideoAction(adView, parameters);
    const core::Value* spherical = parameters.find("spherical");
    adView->setSpherical(spherical && spherical->boolValue());
    videoConfiguration_ = DZVideoConfiguration::create(parameters);
    adView->setUpVideoPlayerWithURL(std::nullopt, nullptr, nullptr);
}

void DZVideoPlayerDMSGHandler::didReceivePositionVideoAction(
    const std::shared_ptr<DZAdView>& adView, const core::Dictionary& parameters) {
    gfx::Rect frame;
    const bool complete = parameters.contains("x") && parameters.contains("y") &&
                          parameters.contains("w") && parameters.contains("h");
    if (complete) {
        const auto x = finiteNumber(parameters, "x");
        const auto y = finiteNumber(parameters, "y");
        const auto w = finiteNumber(parameters, "w");
        const auto h = finiteNumber(parameters, "h");
        if (!x || !y || !w || !h) return;
        frame = {*x, *y, *w, *h};
    }
    adView->setCachedVideoPlayerFrame(frame);
    adView->setNeedsLayout();
}

void DZVideoPlayerDMSGHandler::didReceiveSetVideoSourceAction(
    const std::shared_ptr<DZAdView>& adView, const core::Dictionary& parameters) {
    const core::Value* text = parameters.find("src");
    std::optional<core::URL> url = text ? core::URL::create(text->stringValue()) : std::nullopt;
    if (url && !isPlayableSource(*url)) return;
    const auto cache =
        url && url->isFileURL() ? precacheDMSGHandler_->resourceCache() : nullptr;
    adView->setUpVideoPlayerWithURL(url, cache, videoConfiguration_);
}

void DZVideoPlayerDMSGHandler::didReceiveLoadVideoAction(const std::shared_ptr<DZAdView>& adView,
                                                         const core::Dictionary&) {
    if (const auto& player = adView->videoPlayer()) player->load();
}

void DZVideoPlayerDMSGHandler::didReceiveLoadControlVideoAction(const std::shared_ptr<DZAdView>&,
                                                                const core::Dictionary& parameters) {
    if (videoConfiguration_) videoConfiguration_->updateDynamicConfiguration(parameters);
}

void DZVideoPlayerDMSGHandler::didReceivePlayVideoAction(const std::shared_ptr<DZAdView>& adView,
                                                         const core::Dictionary&) {
    const auto view = adView->videoPlayerView();
    if (view) view->disableVideoPlaybackOptimization();
    if (view) view->resetVideoPlaybackOptimization();
    if (const auto& player = adView->videoPlayer()) player->playNativePlayer();
    if (view) view->enableVideoPlaybackOptimization();
}

void DZVideoPlayerDMSGHandler::didReceivePauseVideoAction(const std::shared_ptr<DZAdView>& adView,
                                                          const core::Dictionary&) {
    if (const auto& player = adView->videoPlayer()) player->pauseNativePlayer();
    adView->optimizeVideoPlayback();
}

void DZVideoPlayerDMSGHandler::didReceiveSetVolumeAction(const std::shared_ptr<DZAdView>& adView,
                                                         const core::Dictionary& parameters) {
    const auto volume = finiteNumber(parameters, "volume");
    const auto& player = adView->videoPlayer();
    if (!volume || !player) return;
    player->setVolume(static_cast<float>(std::clamp(*volume, 0.0, 1.0)));
}

void DZVideoPlayerDMSGHandler::didReceiveMutedVideoAction(const std::shared_ptr<DZAdView>& adView,
                                                          const core::Dictionary& parameters) {
    const core::Value* muted = parameters.find("muted");
    const auto& player = adView->videoPlayer();
    if (muted && player) player->setMuted(muted->boolValue());
}

void DZVideoPlayerDMSGHandler::didReceiveSeekToCurrentTimeAction(
    const std::shared_ptr<DZAdView>& adView, const core::Dictionary& parameters) {
    const auto& player = adView->videoPlayer();
    if (!player) return;
    if (!parameters.contains("time")) {
        player->seekToTime(0);
    } else if (const auto time = finiteNumber(parameters, "time")) {
        player->seekToTime(*time);
    }
}

void DZVideoPlayerDMSGHandler::didReceiveHideVideoAction(const std::shared_ptr<DZAdView>& adView,
                                                         const core::Dictionary&) {
    adView->hideVideo();
}

void DZVideoPlayerDMSGHandler::didReceiveShowVideoAction(const std::shared_ptr<DZAdView>& adView,
                                                         const core::Dictionary&) {
    adView->showVideo();
}

void DZVideoPlayerDMSGHandler::didReceiveRotationVideoAction(
    const std::shared_ptr<DZAdView>& adView, const core::Dictionary& parameters) {
    if (!parameters.contains("degrees")) {
        adView->rotateVideoToDegrees(0);
    } else if (const auto degrees = finiteNumber(parameters, "degrees")) {
        adView->rotateVideoToDegrees(*degrees);
    }
}

void DZVideoPlayerDMSGHandler::didReceiveBackgroundAction(const std::shared_ptr<DZAdView>& adView,
                                                          const core::Dictionary& parameters) {
    const core::Value* text = parameters.find("color");
    if (!text || !text->string()) return;
    if (const auto color = DZColorFromHexString(*text->string()))
        adView->ui::View::setBackgroundColor(*color);
}

void DZVideoPlayerDMSGHandler::didReceiveTouchMoveAction(const std::shared_ptr<DZAdView>& adView,
                                                         const core::Dictionary& parameters) {
    const auto view = std::dynamic_pointer_cast<DZVideoPlayerGLView>(adView->videoPlayerView());
    if (!view) return;
    const auto component = [&](std::string_view key) {
        const core::Value* value = parameters.find(key);
        return value ? static_cast<float>(DZNumericValue(*value).value_or(0)) : 0.0f;
    };
    view->handleUserTouchMovedByVector(component("dx"), component("dy"));
}

}  // namespace ads
