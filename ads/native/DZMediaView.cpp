#include "ads/native/DZMediaView.h"

#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZLogger.h"
#include "ads/native/DZMediaContentDisplaying.h"
#include "ads/native/DZNativeAd.h"
#include "ads/video/DZVideoPlayer.h"
#include "ads/web/view/DZAdView.h"
#include "core/Queue.h"
#include "ui/ImageView.h"
#include "ui/Window.h"

namespace ads {

std::shared_ptr<DZMediaView> DZMediaView::create(const gfx::Rect& frame) {
    return std::make_shared<DZMediaView>(frame);
}

void DZMediaView::setNativeAd(const std::shared_ptr<DZNativeAd>& nativeAd) {
    if (nativeAd && nativeAd->adFormatTemplateID() == "3") {
        DZLogger::sharedInstance().logPublicMessage(kCustomTemplateRefusal);
        return;
    }
    if (nativeAd && !nativeAd->mediaContent()) {
        DZLogger::sharedInstance().logPublicMessage(kNoMediaContentRefusal);
        return;
    }
    nativeAd_ = nativeAd;
    const auto self = std::static_pointer_cast<DZMediaView>(shared_from_this());
    core::Queue::main()->async([weak = std::weak_ptr<DZMediaView>(self), nativeAd] {
        if (const auto view = weak.lock())
            view->setMediaContent(nativeAd ? nativeAd->mediaContent() : nullptr);
    });
}

void DZMediaView::setMediaContent(const std::shared_ptr<DZMediaContentDisplaying>& mediaContent) {
    if (const auto old = std::dynamic_pointer_cast<DZMediaContent>(mediaContent_))
        old->setDelegate({});
    // The content's view may have moved on to another media view meanwhile.
    if (mediaView_ && mediaView_->superview().get() == this) mediaView_->removeFromSuperview();
    mediaView_.reset();
    mediaContent_ = mediaContent;
    if (const auto content = std::dynamic_pointer_cast<DZMediaContent>(mediaContent_))
        content->setDelegate(std::static_pointer_cast<DZMediaView>(shared_from_this()));
    if (!mediaContent_) return;
    mediaView_ = mediaContent_->mediaView();
    if (!mediaView_) return;
    mediaView_->setFrame(bounds());
    mediaView_->setAutoresizingMask(kFlexibleWidth | kFlexibleHeight);
    addSubview(mediaView_);
    invalidateIntrinsicContentSize();
    setNeedsLayout();
    didMoveToWindow();
}

gfx::Size DZMediaView::intrinsicContentSize() const {
    if (!mediaView_) return ui::View::intrinsicContentSize();
    if (const auto image = std::dynamic_pointer_cast<ui::ImageView>(mediaView_))
        return image->intrinsicContentSize();
    if (const auto adView = std::dynamic_pointer_cast<DZAdView>(mediaView_)) {
        if (const auto& player = adView->videoPlayer()) {
            const gfx::Size size = player->videoSize();
            if (size.width != -1 || size.height != -1) return size;
        }
    }
    return mediaView_->frame().size;
}

void DZMediaView::invalidateIntrinsicContentSize() {
    ++intrinsicContentSizeInvalidations_;
    if (const auto parent = superview()) parent->setNeedsLayout();
}

void DZMediaView::didMoveToWindow() {
    ui::View::didMoveToWindow();
    const auto content = std::dynamic_pointer_cast<DZMediaContent>(mediaContent_);
    if (content && content->slot()) content->slot()->ownerViewDidMoveToWindow(window());
}

void DZMediaView::mediaContentDidLoadVideoWithSize(DZMediaContent&, gfx::Size) {
    invalidateIntrinsicContentSize();
}

}  // namespace ads
