#include "ads/native/DZPushTransitionView.h"

#include "ads/foundation/DZLayoutConstraints.h"
#include "core/Queue.h"

namespace ads {

std::shared_ptr<DZPushTransitionView> DZPushTransitionView::create(const gfx::Rect& frame) {
    auto view = std::make_shared<DZPushTransitionView>(frame);
    view->commonSetUp();
    return view;
}

void DZPushTransitionView::commonSetUp() {
    setClipsToBounds(true);
    clippingView_ = std::make_shared<ui::View>(gfx::Rect{0, 0, bounds().size.width, bounds().size.height});
    clippingView_->setClipsToBounds(true);
    // Its first push draws the content it replaces too.
    clippingView_->setRetainsLastDrawing(true);
    addSubview(clippingView_);
    clippingView_->setTranslatesAutoresizingMaskIntoConstraints(false);
    DZConstrainViewToFillSuperview(clippingView_.get());
}

void DZPushTransitionView::setViews(std::vector<std::shared_ptr<ui::View>> views) {
    views_ = std::move(views);
    currentViewIndex_ = 0;
    makeCurrent(views_.empty() ? nullptr : views_.front());
    ++animationGroupIdentifier_;
    scheduleNextAnimation();
}

void DZPushTransitionView::setAnimationDuration(double seconds) {
    animationDuration_ = seconds;
    ++animationGroupIdentifier_;
    scheduleNextAnimation();
}

void DZPushTransitionView::setPresentationDuration(double seconds) {
    presentationDuration_ = seconds;
    ++animationGroupIdentifier_;
    scheduleNextAnimation();
}

void DZPushTransitionView::makeCurrent(const std::shared_ptr<ui::View>& view) {
    if (view == currentView_) return;
    if (currentView_) currentView_->removeFromSuperview();
    currentView_ = view;
    if (!view) return;
    clippingView_->addSubview(view);
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    DZConstrainViewCenterToSuperview(view.get());
}

void DZPushTransitionView::scheduleNextAnimation() {
    if (views_.size() < 2) return;
    const std::int64_t group = animationGroupIdentifier_;
    const auto weak = std::weak_ptr<DZPushTransitionView>(
        std::static_pointer_cast<DZPushTransitionView>(shared_from_this()));
    core::Queue::main()->after(animationDuration_ + presentationDuration_, [weak, group] {
        const auto self = weak.lock();
        if (self && self->animationGroupIdentifier_ == group) self->animate();
    });
}

void DZPushTransitionView::animate() {
    if (views_.empty()) return;
    scheduleNextAnimation();
    currentViewIndex_ = (currentViewIndex_ + 1) % views_.size();
    makeCurrent(views_[currentViewIndex_]);
    ui::LayerTransition transition;
    transition.type = ui::LayerTransition::Type::Push;
    transition.subtype = ui::LayerTransition::Subtype::FromTop;
    transition.duration = animationDuration_;
    transition.timing = ui::LayerTransition::Timing::EaseInEaseOut;
    clippingView_->addTransition(transition, kTransitionKey);
}

}  // namespace ads
