#pragma once
// The full-screen side of an interstitial: the controller that shows the
// slot's ad over the publisher's root controller. The interstitial makes
// one per slot through the installed factory and asks it to present; the
// answer says whether the presentation went ahead (false: nothing was put
// on screen, e.g. the root controller already presents something or the
// controller is not ready). Without a factory no presenter is made and
// every present is refused. Main thread.

#include <cstdint>
#include <functional>
#include <memory>

namespace ui {
class ViewController;
}

namespace ads {

class DZSlot;

class DZInterstitialPresenting {
public:
    virtual ~DZInterstitialPresenting() = default;
    virtual void setSlot(const std::shared_ptr<DZSlot>& slot) = 0;
    // Orientation masks (1 << interface orientation); 0: none chosen.
    [[nodiscard]] virtual std::uint64_t adOrientations() const = 0;
    virtual void setAdOrientations(std::uint64_t mask) = 0;
    [[nodiscard]] virtual bool adOrientationsOverridesLockedOrientation() const = 0;
    virtual void positionCloseButton() = 0;
    [[nodiscard]] virtual bool
    presentFromRootViewController(const std::shared_ptr<ui::ViewController>& root) = 0;
};

using DZInterstitialPresenterFactory =
    std::function<std::shared_ptr<DZInterstitialPresenting>(const std::shared_ptr<DZSlot>& slot)>;

}  // namespace ads
