#pragma once
// The interstitial's presenter in the product: the full-screen interstitial
// controller made with the slot, presented over the publisher's root
// controller. Main thread.

#include <memory>

#include "ads/presentation/interstitial/DZInterstitialPresenting.h"

namespace ads {

class DZInterstitialViewController;

class DZInterstitialViewControllerPresenter final : public DZInterstitialPresenting {
public:
    // nullptr when no controller can be made for the slot.
    [[nodiscard]] static std::shared_ptr<DZInterstitialViewControllerPresenter>
    create(const std::shared_ptr<DZSlot>& slot);
    explicit DZInterstitialViewControllerPresenter(
        std::shared_ptr<DZInterstitialViewController> controller);

    // The controller is made with its slot.
    void setSlot(const std::shared_ptr<DZSlot>&) override {}
    [[nodiscard]] std::uint64_t adOrientations() const override;
    void setAdOrientations(std::uint64_t mask) override;
    [[nodiscard]] bool adOrientationsOverridesLockedOrientation() const override;
    void positionCloseButton() override;
    [[nodiscard]] bool
    presentFromRootViewController(const std::shared_ptr<ui::ViewController>& root) override;

    [[nodiscard]] const std::shared_ptr<DZInterstitialViewController>& controller() const {
        return controller_;
    }

private:
    std::shared_ptr<DZInterstitialViewController> controller_;
};

}  // namespace ads
