#pragma once
// The presenter that lays a controller's view, with a clear background, over
// the whole window, so that the publisher's screen stays visible behind a
// transparent ad. Not built yet: a controller given one keeps it as its
// presenter; what its subclasses use of it now is the controller it
// presents (held weakly), the crop view the presented view sits in (the
// presented view's superview unless one is set), and the hooks of its
// presentation and rotation. Main thread.

#include <memory>

#include "ads/presentation/DZOverlayPresenting.h"
#include "ui/View.h"
#include "ui/ViewController.h"

namespace ads {

class DZTransparentOverlayPresenter : public DZOverlayPresenting {
public:
    [[nodiscard]] std::shared_ptr<ui::ViewController> presentedViewController() const {
        return presentedViewController_.lock();
    }
    void setPresentedViewController(std::weak_ptr<ui::ViewController> controller) {
        presentedViewController_ = std::move(controller);
    }
    [[nodiscard]] std::shared_ptr<ui::View> cropView() const {
        if (auto view = cropView_.lock()) return view;
        const auto controller = presentedViewController();
        return controller && controller->isViewLoaded() ? controller->view()->superview()
                                                        : nullptr;
    }
    void setCropView(std::weak_ptr<ui::View> view) { cropView_ = std::move(view); }

    [[nodiscard]] virtual bool isReadyToPresent() { return presentedViewController() != nullptr; }
    virtual void composeTransparentInterstitialViewsForPresentation() {}
    virtual void updateTransparentInterstitialOrientation() {}

private:
    std::weak_ptr<ui::ViewController> presentedViewController_;
    std::weak_ptr<ui::View> cropView_;
};

}  // namespace ads
