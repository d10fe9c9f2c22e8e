#pragma once
// Lets a system controller that an ad opens (an alert, a store page, a
// composer, the debug menu) take part in its slot's intermission. A proxy
// is attached to its controller, which keeps it: it lives exactly as long
// as the controller, and a controller has at most one. When the controller
// goes without having been given back, the intermission finds the freed
// participant and the episode still ends.
//
// Each presentation is recorded in DZCallLog as
// "DZOverlayProxy.presentFromViewController:completion:". Main thread.

#include <functional>
#include <memory>

#include "ads/presentation/fullscreen/DZIntermitting.h"

namespace ui {
class ViewController;
}

namespace ads {

class DZOpener;
class DZSlot;

class DZOverlayProxy : public DZIntermitting, public std::enable_shared_from_this<DZOverlayProxy> {
public:
    [[nodiscard]] static std::shared_ptr<DZOverlayProxy>
    overlayProxyForViewController(const std::shared_ptr<ui::ViewController>& controller);
    // nullptr without a controller, or when the controller already has one.
    [[nodiscard]] static std::shared_ptr<DZOverlayProxy>
    create(const std::shared_ptr<ui::ViewController>& controller);

    // Joins the slot's intermission (made when the slot has none) and
    // presents the controller, animated. A proxy already in an intermission,
    // or a presentation the platform refuses, does nothing (false) and the
    // completion is not called.
    bool presentFromViewController(const std::shared_ptr<ui::ViewController>& presenting,
                                   std::function<void()> completion) override;
    [[nodiscard]] bool shouldDismissOnApplicationEnteringForeground() override { return false; }
    void relinquishScreenWithCompletion(std::function<void()> completion) override;
    [[nodiscard]] std::shared_ptr<DZIntermission> intermission() const override {
        return intermission_;
    }

    [[nodiscard]] std::shared_ptr<ui::ViewController> viewController() const {
        return viewController_.lock();
    }
    [[nodiscard]] std::shared_ptr<DZSlot> slot() const { return slot_.lock(); }
    void setSlot(const std::shared_ptr<DZSlot>& slot) { slot_ = slot; }
    [[nodiscard]] const std::shared_ptr<DZOpener>& opener() const { return opener_; }
    void setOpener(std::shared_ptr<DZOpener> opener) { opener_ = std::move(opener); }

    DZOverlayProxy() = default;

private:
    std::shared_ptr<DZIntermission> intermission_;
    std::weak_ptr<ui::ViewController> viewController_;
    std::weak_ptr<DZSlot> slot_;
    std::shared_ptr<DZOpener> opener_;
};

}  // namespace ads
