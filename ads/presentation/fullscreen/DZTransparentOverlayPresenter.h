#pragma once
// Lays a full-screen SDK controller's view, with a clear background, over
// the whole window without a modal presentation, so that the publisher's
// screen stays visible (and touchable where the ad draws nothing) behind a
// transparent ad. The view sits in a crop view the size of the oriented
// application frame, inside a square pivot view that turns with the
// interface. While shown it follows status-bar orientation changes, and the
// ad leaves the screen by itself when its slot's view leaves its window.
// Main thread.

#include <memory>

#include "ads/presentation/fullscreen/DZOverlayPresenting.h"
#include "core/NotificationCenter.h"
#include "gfx/Geometry.h"

namespace ui {
class Window;
}

namespace ads {

class DZUnclickableView;

class DZTransparentOverlayPresenter
    : public DZOverlayPresenting,
      public std::enable_shared_from_this<DZTransparentOverlayPresenter> {
public:
    static constexpr double kEntranceDuration = 0.4;
    static constexpr double kExitDuration = 0.2;

    DZTransparentOverlayPresenter();
    ~DZTransparentOverlayPresenter() override;

    bool presentFromViewController(const std::shared_ptr<ui::ViewController>& presenting,
                                   std::function<void()> completion) override;
    // The topmost controller of the presented controller's window.
    [[nodiscard]] std::shared_ptr<ui::ViewController> presentationViewController() const override;
    void dismissWithCompletionHandler(std::function<void()> handler) override;
    void setNeedsUpdateOrientation() override {}
    [[nodiscard]] std::shared_ptr<DZViewController> presentedViewController() const override {
        return presented_.lock();
    }
    void setPresentedViewController(const std::shared_ptr<DZViewController>& controller) override {
        presented_ = controller;
    }
    [[nodiscard]] bool isReadyToPresent() const override { return !presented_.expired(); }
    [[nodiscard]] bool
    canPresentFromViewController(const std::shared_ptr<ui::ViewController>& presenting) override;

    // A rectangle of the size with the frame's centre.
    [[nodiscard]] static gfx::Rect frameWithSize(gfx::Size size, const gfx::Rect& frame);
    [[nodiscard]] static gfx::AffineTransform transformForOrientation(long orientation);
    [[nodiscard]] gfx::Rect pivotedApplicationFrameForOrientation(long orientation) const;
    // Overridable by presenters that place the content otherwise.
    virtual void composeTransparentInterstitialViewsForPresentation();
    virtual void updateTransparentInterstitialOrientation();

    [[nodiscard]] const std::shared_ptr<DZUnclickableView>& pivotView() const { return pivotView_; }
    [[nodiscard]] const std::shared_ptr<DZUnclickableView>& cropView() const { return cropView_; }
    // The crop view is made when the views are composed; a presenter whose
    // controller is placed by other means is given one.
    void setCropView(std::shared_ptr<DZUnclickableView> view) { cropView_ = std::move(view); }

private:
    [[nodiscard]] std::shared_ptr<ui::Window>
    hostWindow(const std::shared_ptr<ui::ViewController>& presenting) const;
    void stopObserving();

    std::weak_ptr<DZViewController> presented_;
    std::shared_ptr<DZUnclickableView> pivotView_;
    std::shared_ptr<DZUnclickableView> cropView_;
    core::NotificationCenter::Token orientationChangeListener_;
    core::NotificationCenter::Token placementDisappearanceObserver_;
};

}  // namespace ads
