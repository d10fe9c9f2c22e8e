#include "ads/presentation/fullscreen/DZExpandedAdAppViewController.h"

#include "ads/foundation/DZViewImaging.h"
#include "ads/web/view/DZAdView.h"
#include "ui/ImageView.h"

namespace ads {

std::shared_ptr<DZExpandedAdAppViewController>
DZExpandedAdAppViewController::create(const std::shared_ptr<DZAdView>& adView) {
    if (!adView) return nullptr;
    return std::make_shared<DZExpandedAdAppViewController>(adView);
}

DZExpandedAdAppViewController::DZExpandedAdAppViewController(std::shared_ptr<DZAdView> adView)
    : DZAdAppViewController(std::move(adView)) {}

DZExpandedAdAppViewController::~DZExpandedAdAppViewController() {
    if (renderedBanner_) renderedBanner_->removeFromSuperview();
}

void DZExpandedAdAppViewController::configureView() {
    if (viewWasConfigured()) return;
    const auto adView = this->adView();
    if (adView) {
        adView->saveState();
        adView->setViewController(sharedSelf());
        renderedBanner_ = std::make_shared<ui::ImageView>();
        renderedBanner_->setFrame(adView->frame());
        renderedBanner_->setImage(DZViewSnapshotImage(adView.get()));
        if (const auto superview = adView->superview())
            superview->insertSubviewAbove(renderedBanner_, adView.get());
        adView->removeFromSuperview();
        adView->reset();
    }
    DZAdAppViewController::configureView();
}

void DZExpandedAdAppViewController::relinquishScreenWithCompletion(
    std::function<void()> completion) {
    const auto adView = this->adView();
    if (adView && adView->viewController().get() == this) adView->restoreState();
    DZAdAppViewController::relinquishScreenWithCompletion(std::move(completion));
}

}  // namespace ads
