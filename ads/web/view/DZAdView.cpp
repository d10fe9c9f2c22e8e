#include "ads/web/view/DZAdView.h"

#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZLoggingHierarchy.h"
#include "ads/foundation/DZStoredSeconds.h"
#include "ads/foundation/DZThreading.h"
#include "ads/video/DZAdViewVideoController.h"
#include "ads/video/DZVideoRendering.h"
#include "ads/web/intercept/DZAdURLStash.h"
#include "ads/web/view/DZAdViewLiveViewReporter.h"
#include "core/Queue.h"
#include "core/UserDefaults.h"
#include "ui/Window.h"

namespace ads {

bool DZAdViewUsesPlaceholderWindow() {
    if (!DZDevice::sharedInstance()->isOSAtLeastMajor(7, 0, 0)) return true;
    return core::UserDefaults::standard()->boolForKey(DZAdView::kPlaceholderWindowKey);
}

std::shared_ptr<DZAdView> DZAdView::create(const gfx::Rect& frame,
                                           const DZWebViewConfiguration& configuration) {
    return make<DZAdView>(frame, configuration);
}

DZAdView::DZAdView(Token, const gfx::Rect& frame) : ui::View(frame) {}

std::shared_ptr<DZAdView> DZAdView::self() {
    return std::static_pointer_cast<DZAdView>(shared_from_this());
}

bool DZAdView::setUp(const DZWebViewConfiguration& configuration) {
    auto scrollView = std::make_shared<ui::ScrollView>(gfx::Rect{});
    scrollView->setScrollsToTop(false);
    insertSubview(scrollView, 0);

    addGestureRecognizers();

    liveViewReporter_ = std::make_shared<DZAdViewLiveViewReporter>();
    showDebug_ = true;

    webView_ =
        DZWebView::create(DZWebViewClassForConfiguration(configuration), frame(), configuration);
    if (!webView_) return false;
    const auto self = this->self();
    if (const auto webKit = std::dynamic_pointer_cast<DZWebKitWebView>(webView_))
        webKit->setMRAIDDelegate(self);
    webView_->setDelegate(self);
    webView_->setContentSizeDelegate(self);
    webView_->scrollView().bounces = true;

    // One event at a time, so that events released together keep their order.
    eventQueue_ = core::OperationQueue::create(DZQueueLabel("ad-view-events"));
    eventQueue_->setMaxConcurrentOperationCount(1);
    eventQueue_->setSuspended(true);

    reset();

    usesPlaceholderWindow_ = DZAdViewUsesPlaceholderWindow();
    if (usesPlaceholderWindow_) {
        DZApplication::placeholderWindow()->addSubview(self);
        addSubview(webView_);
    } else {
        DZApplication::placeholderWindow()->addSubview(webView_);
    }

    videoController_ = std::make_shared<DZAdViewVideoController>(self);
    visible_ = true;
    return true;
}

DZAdView::~DZAdView() {
    if (webView_) {
        webView_->removeFromSuperview();
        webView_->setDelegate({});
    }
    DZAdURLStash::sharedInstance()->removeAdView(this);
    DZLoggingHierarchy::sharedInstance()->removeObject(
        static_cast<const void*>(static_cast<const ui::View*>(this)));
}

void DZAdView::configureAsInterstitialAdView() {
    webView_->scrollView().bounces = false;
}

void DZAdView::configureAsBannerAdView() {
    configureAsInterstitialAdView();
    setHidden(true);
}

void DZAdView::reset() {
    webView_->setClipsToBounds(true);
    setAutoresizingMask(kFlexibleSizeMask);
    setOpaque(false);
    setBackgroundColor(gfx::Color::clear());
    webView_->scrollView().scrollEnabled = true;
    webView_->scrollView().scrollsToTop = false;
}

void DZAdView::goBack() {
    webView_->goBack();
}

void DZAdView::goForward() {
    webView_->goForward();
}

void DZAdView::stopLoading() {
    webView_->stopLoading();
}

void DZAdView::reload() {
    webView_->reload();
}

bool DZAdView::canGoBack() const {
    return webView_->canGoBack();
}

bool DZAdView::canGoForward() const {
    return webView_->canGoForward();
}

bool DZAdView::isLoading() const {
    return webView_->isLoading();
}

std::optional<core::URL> DZAdView::URL() const {
    return webView_->URL();
}

DZWebView::ScrollView& DZAdView::scrollView() {
    return webView_->scrollView();
}

gfx::Size DZAdView::contentSize() const {
    return webView_->contentSize();
}

void DZAdView::setBackgroundColor(std::optional<gfx::Color> color) {
    webView_->setBackgroundColor(color);
}

std::optional<gfx::Color> DZAdView::backgroundColor() const {
    return webView_->backgroundColor();
}

void DZAdView::setOpaque(bool opaque) {
    opaque_ = opaque;
    webView_->setOpaque(opaque);
}

gfx::Size DZAdView::intrinsicContentSize() const {
    return webView_->intrinsicContentSize();
}

gfx::Size DZAdView::sizeThatFits(gfx::Size size) const {
    return webView_->sizeThatFits(size);
}

void DZAdView::didMoveToPlacement(const std::shared_ptr<const void>& placement) {
    attachedToPlacement_ = true;
    if (const auto delegate = this->delegate()) delegate->didMoveToPlacement(*this, placement);
}

void DZAdView::saveState() {
    if (savedState_) return;
    savedState_ =
        DZAdViewState{superview(), delegate_, viewController_, autoresizingMask(), frame()};
}

void DZAdView::restoreState() {
    if (!savedState_) return;
    const DZAdViewState saved = std::move(*savedState_);
    savedState_.reset();
    const auto keep = self();
    removeFromSuperview();
    setFrame(saved.frame);
    if (saved.superview) saved.superview->addSubview(keep);
    delegate_ = saved.delegate;
    viewController_ = saved.viewController;
    setAutoresizingMask(saved.autoresizingMask);
}

void DZAdView::setVisible(bool visible) {
    visible_ = visible;
    optimizeVideoPlayback();
}

std::shared_ptr<DZOpener> DZAdView::opener() const {
    const auto delegate = this->delegate();
    return delegate ? delegate->opener() : nullptr;
}

void DZAdView::updateWebViewFrame() {
    const double delay = DZStoredSeconds(kContentSizeDelayKey, kMaximumContentSizeDelay)
                             .value_or(kDefaultContentSizeDelay);
    if (isFluidAdView_ && !webView_->contentSizeUpdatesSynchronously()) {
        core::Queue::main()->after(delay,
                                   [self = self()] { self->webView_->setFrame(self->bounds()); });
        return;
    }
    webView_->setFrame(bounds());
}

void DZAdView::layoutSubviews() {
    ui::View::layoutSubviews();
    updateWebViewFrame();
    if (videoPlayerView_) setVideoPlayerFrame(cachedVideoPlayerFrame_);
}

void DZAdView::willMoveToWindow(ui::Window* newWindow) {
    ui::View::willMoveToWindow(newWindow);
    if (usesPlaceholderWindow_ || !webView_) return;
    if (!newWindow) {
        DZApplication::placeholderWindow()->addSubview(webView_);
    } else if (webView_->superview().get() != this) {
        addSubview(webView_);
    }
}

}  // namespace ads
