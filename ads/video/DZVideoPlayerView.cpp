#include "ads/video/DZVideoPlayerView.h"

#include "core/RunLoop.h"
#include "core/UserDefaults.h"
#include "gfx/Canvas.h"
#include "gfx/ContentMode.h"
#include "ui/Window.h"

namespace ads {

DZVideoPlayerView::DZVideoPlayerView(gfx::Rect frame)
    : DZVideoRendering(frame),
      playbackOptimizationDisabledBySDKCore_(
          core::UserDefaults::standard()->boolForKey(kOptimizationDisabledKey)) {}

DZVideoPlayerView::~DZVideoPlayerView() {
    stopDrawing();
}

void DZVideoPlayerView::stopDrawing() {
    if (displayLink_) displayLink_->invalidate();
    displayLink_.reset();
    frameSource_.reset();
}

void DZVideoPlayerView::setUpWithPlayer(const std::shared_ptr<media::Player>& player) {
    if (player == player_) return;
    stopDrawing();
    picture_.reset();
    setBackgroundColor(gfx::Color::clear());
    player_ = player;
    playerItem_ = player ? player->currentItem() : nullptr;
    setNeedsDisplay();
    if (!player) return;
    frameSource_ = std::make_unique<DZVideoFrameSource>(player);
    frameSource_->start();
    std::weak_ptr<ui::View> weak = weak_from_this();
    displayLink_ = media::DisplayLink::create([weak](media::DisplayLink& link) {
        if (const auto view = weak.lock())
            static_cast<DZVideoPlayerView&>(*view).displayFrameAtHostTime(link.targetTimestamp());
    });
    displayLink_->setPaused(!window());
    displayLink_->addToRunLoop(core::RunLoop::main());
}

void DZVideoPlayerView::didMoveToWindow() {
    DZVideoRendering::didMoveToWindow();
    if (displayLink_) displayLink_->setPaused(!window());
}

void DZVideoPlayerView::displayFrameAtHostTime(double hostTime) {
    if (!frameSource_) return;
    const auto pulled = frameSource_->pull(hostTime);
    if (!pulled.frame) return;
    picture_ = pulled.frame->toImage();
    setNeedsDisplay();
}

void DZVideoPlayerView::draw(gfx::Canvas& canvas, const gfx::Rect& rect) const {
    DZVideoRendering::draw(canvas, rect);
    if (picture_) canvas.drawImage(*picture_, bounds(), gfx::ContentMode::ScaleAspectFit, true);
}

void DZVideoPlayerView::enableVideoPlaybackOptimization() {
    if (!playbackOptimizationDisabledBySDKCore_) playbackOptimizationEnabled_ = true;
}

void DZVideoPlayerView::disableVideoPlaybackOptimization() {
    if (!playbackOptimizationDisabledBySDKCore_) playbackOptimizationEnabled_ = false;
}

void DZVideoPlayerView::resetVideoPlaybackOptimization() {
    if (playbackOptimizationDisabledBySDKCore_ || !player_) return;
    if (player_->currentItem() != playerItem_) player_->replaceCurrentItem(playerItem_);
}

void DZVideoPlayerView::optimizeVideoForAdVisibility(bool visible) {
    if (playbackOptimizationDisabledBySDKCore_ || !playbackOptimizationEnabled_ || !player_) return;
    const auto wanted = visible || player_->rate() != 0 ? playerItem_ : nullptr;
    if (player_->currentItem() != wanted) player_->replaceCurrentItem(wanted);
}

}  // namespace ads
