#pragma once
// Presents a controller over the app on behalf of an ad (an alert, the
// debug menu, a store page, a composer, the system's in-app browser). The
// ad's full-screen presentation is not built yet, so the proxy presents the
// controller modally from the given controller, when there is one, and
// gives the screen back by having its presenter dismiss it. A proxy made by
// create() is found again through overlayProxyForViewController() for as
// long as someone keeps it. Each presentation is recorded in DZCallLog as
// "DZOverlayProxy.presentFromViewController:completion:". Main thread.

#include <functional>
#include <memory>

#include "ui/ViewController.h"

namespace ads {

class DZOpener;
class DZSlot;

class DZOverlayProxy : public std::enable_shared_from_this<DZOverlayProxy> {
public:
    explicit DZOverlayProxy(std::shared_ptr<ui::ViewController> viewController)
        : viewController_(std::move(viewController)) {}
    // Registers the proxy for its controller.
    [[nodiscard]] static std::shared_ptr<DZOverlayProxy>
    create(std::shared_ptr<ui::ViewController> viewController);
    // The live proxy made by create() for the controller, or nullptr.
    [[nodiscard]] static std::shared_ptr<DZOverlayProxy>
    overlayProxyForViewController(const ui::ViewController* controller);

    void presentFromViewController(const std::shared_ptr<ui::ViewController>& presenting,
                                   std::function<void()> completion = {});
    // Takes the controller off the screen; the completion runs after.
    void relinquishScreenWithCompletion(std::function<void()> completion);

    [[nodiscard]] const std::shared_ptr<ui::ViewController>& viewController() const {
        return viewController_;
    }
    [[nodiscard]] std::shared_ptr<DZSlot> slot() const { return slot_.lock(); }
    void setSlot(std::weak_ptr<DZSlot> slot) { slot_ = std::move(slot); }
    [[nodiscard]] const std::shared_ptr<DZOpener>& opener() const { return opener_; }
    void setOpener(std::shared_ptr<DZOpener> opener) { opener_ = std::move(opener); }

private:
    std::shared_ptr<ui::ViewController> viewController_;
    std::weak_ptr<DZSlot> slot_;
    std::shared_ptr<DZOpener> opener_;
};

}  // namespace ads
