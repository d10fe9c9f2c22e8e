#include "ads/presentation/banner/DZAdViewController.h"

#include "ads/core/request/DZRequest.h"
#include "ads/core/request/ZODRequest.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "ads/presentation/banner/ZODBannerView.h"
#include "core/Queue.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/GestureRecognizer.h"
#include "ui/InterfaceOrientation.h"

namespace ads {

namespace {

using ui::LayoutAttribute;

ui::LayoutConstraintPtr constraint(const std::shared_ptr<ui::View>& item, LayoutAttribute attribute,
                                   const std::shared_ptr<ui::View>& toItem,
                                   LayoutAttribute toAttribute) {
    return std::make_shared<ui::LayoutConstraint>(item, attribute, toItem, toAttribute, 1.0, 0.0);
}

}  // namespace

DZAdViewController::DZAdViewController() : contentView_(std::make_shared<ui::View>()) {}

void DZAdViewController::loadView() {
    // Without a content view of the publisher's, an empty one of the
    // screen's size, so that the banner still has a container on screen.
    const gfx::Rect screen = ui::DeviceProfile::current().screenBounds();
    contentView_->setFrame(screen);
    setView(std::make_shared<ui::View>(screen));
}

void DZAdViewController::setView(std::shared_ptr<ui::View> view) {
    if (view == originalContentView_) return;
    if (originalContentView_) originalContentView_->removeFromSuperview();
    originalContentView_ = view;
    if (!view) return;
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    contentView_->setBackgroundColor(view->backgroundColor());
    contentView_->addSubview(view);
    ui::ViewController::setView(contentView_);

    if (topConstraint_) contentView_->removeConstraint(topConstraint_.get());
    if (bottomConstraint_) contentView_->removeConstraint(bottomConstraint_.get());
    if (leadingConstraint_) contentView_->removeConstraint(leadingConstraint_.get());
    if (trailingConstraint_) contentView_->removeConstraint(trailingConstraint_.get());
    bottomConstraint_ =
        constraint(view, LayoutAttribute::Bottom, contentView_, LayoutAttribute::Bottom);
    topConstraint_ =
        constraint(view, LayoutAttribute::Top, topLayoutGuide(), LayoutAttribute::Bottom);
    leadingConstraint_ =
        constraint(view, LayoutAttribute::Leading, contentView_, LayoutAttribute::Leading);
    trailingConstraint_ =
        constraint(view, LayoutAttribute::Trailing, contentView_, LayoutAttribute::Trailing);
    for (const auto& added :
         {bottomConstraint_, topConstraint_, leadingConstraint_, trailingConstraint_})
        contentView_->addConstraint(added);
}

void DZAdViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    setUpBannerViewIfNeeded();
}

void DZAdViewController::setAdViewAdUnitID(std::optional<std::string> adUnitID) {
    adViewAdUnitID_ = std::move(adUnitID);
    setUpBannerViewIfNeeded();
}

void DZAdViewController::setRequest(std::shared_ptr<DZRequest> request) {
    if (request == request_) return;
    const bool wasPublisherRequest = std::dynamic_pointer_cast<ZODRequest>(request_) != nullptr;
    request_ = std::move(request);
    const bool isPublisherRequest = std::dynamic_pointer_cast<ZODRequest>(request_) != nullptr;
    if (!isPublisherRequest || wasPublisherRequest) return;
    // A publisher banner replaces the plain one.
    if (bannerView_) {
        if (swipeRecognizer_) bannerView_->removeGestureRecognizer(swipeRecognizer_.get());
        bannerView_->removeFromSuperview();
        bannerView_.reset();
    }
    setUpBannerViewIfNeeded();
}

void DZAdViewController::setAdViewPositionVertical(std::int64_t position) {
    if (position == adViewPositionVertical_) return;
    adViewPositionVertical_ = position;
    bannerPositionUpdated();
}

void DZAdViewController::setAdViewPositionHorizontal(std::int64_t position) {
    if (position == adViewPositionHorizontal_) return;
    adViewPositionHorizontal_ = position;
    bannerPositionUpdated();
}

void DZAdViewController::setAdViewHidden(bool hidden) {
    if (hidden == adViewHidden_) return;
    adViewHidden_ = hidden;
    updateAdViewHidden(true);
    updateLayout();
    if (!bannerView_) return;
    // Shown again: the banner comes back with a new ad.
    if (!hidden) bannerView_->loadRequest(request_);
    bannerView_->setHidden(hidden);
}

void DZAdViewController::setAllowsHidingAds(bool allows) {
    allowsHidingAds_ = allows;
    if (allows) {
        if (swipeRecognizer_) return;
        const std::weak_ptr<ui::ViewController> weak = weak_from_this();
        auto recognizer =
            std::make_shared<ui::SwipeGestureRecognizer>([weak](ui::GestureRecognizer&) {
                if (const auto self = std::dynamic_pointer_cast<DZAdViewController>(weak.lock()))
                    self->bannerSwiped();
            });
        recognizer->direction = ui::SwipeGestureRecognizer::kRight;
        swipeRecognizer_ = recognizer;
        if (bannerView_) bannerView_->addGestureRecognizer(swipeRecognizer_);
        return;
    }
    if (!swipeRecognizer_) return;
    if (bannerView_) bannerView_->removeGestureRecognizer(swipeRecognizer_.get());
    swipeRecognizer_.reset();
}

// The banner.

void DZAdViewController::setUpBannerViewIfNeeded() {
    if (!isViewLoaded() || !adViewAdUnitID_ || adViewAdUnitID_->empty() || bannerView_) return;
    std::shared_ptr<DZBannerView> banner;
    if (std::dynamic_pointer_cast<ZODRequest>(request_))
        banner = ZODBannerView::createWithAdSize(adSize_);
    else
        banner = DZBannerView::createWithAdSize(adSize_);
    if (!banner) return;
    bannerView_ = banner;
    banner->setTranslatesAutoresizingMaskIntoConstraints(false);
    banner->setRootViewController(shared_from_this());
    banner->setAdUnitID(adViewAdUnitID_);
    banner->setDelegate(std::dynamic_pointer_cast<DZAdViewController>(shared_from_this()));
    banner->loadRequest(request_);
    if (swipeRecognizer_) banner->addGestureRecognizer(swipeRecognizer_);
    contentView_->addSubview(banner);
    setUpPositionConstraints();
}

void DZAdViewController::setUpPositionConstraints() {
    if (!contentView_ || !bannerView_) return;
    if (bannerPositionConstraintVertical_)
        contentView_->removeConstraint(bannerPositionConstraintVertical_.get());
    if (bannerPositionConstraintHorizontal_)
        contentView_->removeConstraint(bannerPositionConstraintHorizontal_.get());
    const auto root = view();
    switch (adViewPositionVertical_) {
    case kPositionBottom:
        bannerPositionConstraintVertical_ =
            constraint(bannerView_, LayoutAttribute::Bottom, root, LayoutAttribute::Bottom);
        break;
    case kPositionTop:
        bannerPositionConstraintVertical_ = constraint(bannerView_, LayoutAttribute::Top,
                                                       topLayoutGuide(), LayoutAttribute::Bottom);
        break;
    default:
        break;
    }
    switch (adViewPositionHorizontal_) {
    case kPositionLeading:
        bannerPositionConstraintHorizontal_ =
            constraint(bannerView_, LayoutAttribute::Leading, root, LayoutAttribute::Leading);
        break;
    case kPositionCenter:
        bannerPositionConstraintHorizontal_ =
            constraint(bannerView_, LayoutAttribute::CenterX, root, LayoutAttribute::CenterX);
        break;
    case kPositionTrailing:
        bannerPositionConstraintHorizontal_ =
            constraint(bannerView_, LayoutAttribute::Trailing, root, LayoutAttribute::Trailing);
        break;
    default:
        break;
    }
    if (bannerPositionConstraintVertical_)
        contentView_->addConstraint(bannerPositionConstraintVertical_);
    if (bannerPositionConstraintHorizontal_)
        contentView_->addConstraint(bannerPositionConstraintHorizontal_);
    updateAdViewHidden(!hasReceivedValidAd_);
}

// Sliding.

void DZAdViewController::updateAdViewHidden(bool hidden) {
    if (!bannerView_ || !bannerPositionConstraintVertical_) return;
    const double height = bannerView_->frame().height();
    switch (adViewPositionVertical_) {
    case kPositionBottom:
        if (bottomConstraint_) bottomConstraint_->setConstant(hidden ? 0 : -height);
        bannerPositionConstraintVertical_->setConstant(hidden ? height : 0);
        break;
    case kPositionTop:
        if (topConstraint_) topConstraint_->setConstant(hidden ? 0 : height);
        bannerPositionConstraintVertical_->setConstant(hidden ? -kTopHiddenMargin - height : 0);
        break;
    default:
        break;
    }
}

void DZAdViewController::updateLayout() {
    if (!isViewLoaded()) return;
    const auto root = view();
    // The banner can be swiped away while it slides.
    if (animatesVisibility_)
        ui::View::animate(
            kVisibilityAnimationDuration, [root] { root->layoutIfNeeded(); }, {},
            {.allowUserInteraction = true});
    else
        root->setNeedsLayout();
}

void DZAdViewController::resetContentViewConstraints() {
    if (topConstraint_) topConstraint_->setConstant(0);
    if (bottomConstraint_) bottomConstraint_->setConstant(0);
    updateLayout();
}

void DZAdViewController::bannerPositionUpdated() {
    const bool animates = animatesVisibility_;
    animatesVisibility_ = false;
    resetContentViewConstraints();
    setUpPositionConstraints();
    updateAdViewHidden(!hasReceivedValidAd_);
    animatesVisibility_ = animates;
}

// Events.

void DZAdViewController::adViewDidReceiveAd(DZBannerView&) {
    hasReceivedValidAd_ = true;
    if (adViewHidden_) return;
    updateAdViewHidden(false);
    updateLayout();
}

void DZAdViewController::bannerSwiped() {
    if (handlingSwipe_) return;
    handlingSwipe_ = true;
    updateAdViewHidden(true);
    updateLayout();
    const std::weak_ptr<ui::ViewController> weak = weak_from_this();
    core::Queue::main()->after(kSwipePauseSeconds, [weak] {
        const auto self = std::dynamic_pointer_cast<DZAdViewController>(weak.lock());
        if (!self) return;
        if (self->bannerView_) self->bannerView_->loadRequest(self->request_);
        self->handlingSwipe_ = false;
    });
}

void DZAdViewController::willRotateToInterfaceOrientation(long orientation, double duration) {
    ui::ViewController::willRotateToInterfaceOrientation(orientation, duration);
    const bool toLandscape = ui::isLandscapeOrientation(orientation);
    const bool fromLandscape =
        ui::isLandscapeOrientation(ui::Application::shared().statusBarOrientation());
    if (toLandscape == fromLandscape) return;
    const bool animates = animatesVisibility_;
    animatesVisibility_ = false;
    updateAdViewHidden(true);
    updateLayout();
    animatesVisibility_ = animates;
}

void DZAdViewController::didRotateFromInterfaceOrientation(long fromOrientation) {
    ui::ViewController::didRotateFromInterfaceOrientation(fromOrientation);
    if (!bannerView_) return;
    const bool landscape =
        ui::isLandscapeOrientation(ui::Application::shared().statusBarOrientation());
    bannerView_->setAdSize(landscape ? kDZAdSizeSmartBannerLandscape
                                     : kDZAdSizeSmartBannerPortrait);
}

}  // namespace ads
