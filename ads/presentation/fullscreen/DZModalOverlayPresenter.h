#pragma once
// Shows a full-screen SDK controller as an ordinary full-screen modal
// controller, hides the status bar while it is shown, and applies the
// orientations an ad app controller's ad asks for: gently (the controller
// allows only the ad's orientations and the interface turns when the
// current one is not among them) when the server flag
// "/dozuza/ads/view_controller_only_supports_application_orientation" is
// set, else by force (the controller's view is turned and resized in place
// while the interface stays as it is). Main thread.

#include <memory>
#include <optional>

#include "ads/presentation/fullscreen/DZOverlayPresenting.h"
#include "core/NotificationCenter.h"
#include "gfx/Geometry.h"

namespace ads {

class DZAdAppViewController;

class DZModalOverlayPresenter : public DZOverlayPresenting,
                                public std::enable_shared_from_this<DZModalOverlayPresenter> {
public:
    DZModalOverlayPresenter() = default;
    ~DZModalOverlayPresenter() override;

    bool presentFromViewController(const std::shared_ptr<ui::ViewController>& presenting,
                                   std::function<void()> completion) override;
    [[nodiscard]] std::shared_ptr<ui::ViewController> presentationViewController() const override;
    void dismissWithCompletionHandler(std::function<void()> handler) override;
    void setNeedsUpdateOrientation() override;
    [[nodiscard]] std::shared_ptr<DZViewController> presentedViewController() const override {
        return presented_.lock();
    }
    void setPresentedViewController(const std::shared_ptr<DZViewController>& controller) override {
        presented_ = controller;
    }
    [[nodiscard]] bool isReadyToPresent() const override { return !presented_.expired(); }
    [[nodiscard]] bool
    canPresentFromViewController(const std::shared_ptr<ui::ViewController>& presenting) override;

    void hideStatusBar();
    void updateViewControllerOrientation(const std::shared_ptr<DZAdAppViewController>& controller);
    void forceUpdateViewControllerOrientation(
        const std::shared_ptr<DZAdAppViewController>& controller);

    // What a forced update chooses for an ad mask and the current
    // status-bar orientation; nullopt when it does nothing.
    struct ForcedLayout {
        unsigned long supportedOrientations = 0;
        gfx::Rect bounds;
        long forcedOrientation = 0;
        int quarterTurns = 0;
    };
    [[nodiscard]] static std::optional<ForcedLayout> forcedLayout(unsigned long adOrientations,
                                                                  long statusBarOrientation);
    // The transform a forced update gives a view of that frame.
    [[nodiscard]] static gfx::AffineTransform forcedTransform(const gfx::Rect& frame,
                                                              int quarterTurns);

private:
    std::weak_ptr<DZViewController> presented_;
    core::NotificationCenter::Token appForegroundObserver_;
};

}  // namespace ads
