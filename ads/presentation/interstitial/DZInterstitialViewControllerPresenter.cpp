#include "ads/presentation/interstitial/DZInterstitialViewControllerPresenter.h"

#include "ads/presentation/fullscreen/DZInterstitialViewController.h"

namespace ads {

std::shared_ptr<DZInterstitialViewControllerPresenter>
DZInterstitialViewControllerPresenter::create(const std::shared_ptr<DZSlot>& slot) {
    auto controller = DZInterstitialViewController::create(slot);
    if (!controller) return nullptr;
    return std::make_shared<DZInterstitialViewControllerPresenter>(std::move(controller));
}

DZInterstitialViewControllerPresenter::DZInterstitialViewControllerPresenter(
    std::shared_ptr<DZInterstitialViewController> controller)
    : controller_(std::move(controller)) {}

std::uint64_t DZInterstitialViewControllerPresenter::adOrientations() const {
    return controller_->adOrientations();
}

void DZInterstitialViewControllerPresenter::setAdOrientations(std::uint64_t mask) {
    controller_->setAdOrientations(mask);
}

bool DZInterstitialViewControllerPresenter::adOrientationsOverridesLockedOrientation() const {
    return controller_->adOrientationsOverridesLockedOrientation();
}

void DZInterstitialViewControllerPresenter::positionCloseButton() {
    controller_->positionCloseButton();
}

bool DZInterstitialViewControllerPresenter::presentFromRootViewController(
    const std::shared_ptr<ui::ViewController>& root) {
    return controller_->presentFromViewController(root, {});
}

}  // namespace ads
