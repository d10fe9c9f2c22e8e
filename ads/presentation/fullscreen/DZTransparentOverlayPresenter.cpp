#include "ads/presentation/fullscreen/DZTransparentOverlayPresenter.h"

#include <algorithm>
#include <numbers>

#include "ads/core/app/DZApplication.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZDevice.h"
#include "ads/presentation/fullscreen/DZUnclickableView.h"
#include "ads/presentation/fullscreen/DZViewController.h"
#include "core/Queue.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/InterfaceOrientation.h"
#include "ui/Window.h"

namespace ads {

namespace {

bool isOSBefore8() { return !DZDevice::sharedInstance()->isOSAtLeastMajor(8, 0, 0); }

gfx::Point centerOf(const gfx::Rect& rect) {
    return {rect.origin.x + rect.size.width / 2, rect.origin.y + rect.size.height / 2};
}

}  // namespace

DZTransparentOverlayPresenter::DZTransparentOverlayPresenter()
    : pivotView_(std::make_shared<DZUnclickableView>()),
      cropView_(std::make_shared<DZUnclickableView>()) {
    const gfx::Rect portrait = DZDevice::sharedInstance()->standardizedPortraitScreenBounds();
    const double side = std::max(portrait.size.width, portrait.size.height);
    pivotView_->setFrame(gfx::Rect(0, 0, side, side));
}

DZTransparentOverlayPresenter::~DZTransparentOverlayPresenter() { stopObserving(); }

void DZTransparentOverlayPresenter::stopObserving() {
    auto& center = core::NotificationCenter::defaultCenter();
    if (orientationChangeListener_) center.removeObserver(orientationChangeListener_);
    if (placementDisappearanceObserver_) center.removeObserver(placementDisappearanceObserver_);
    orientationChangeListener_ = {};
    placementDisappearanceObserver_ = {};
}

gfx::Rect DZTransparentOverlayPresenter::frameWithSize(gfx::Size size, const gfx::Rect& frame) {
    const double dx = (frame.size.width - size.width) / 2;
    const double dy = (frame.size.height - size.height) / 2;
    return gfx::Rect(frame.origin.x + dx, frame.origin.y + dy, size.width, size.height);
}

gfx::AffineTransform DZTransparentOverlayPresenter::transformForOrientation(long orientation) {
    if (!isOSBefore8()) return gfx::AffineTransform::identity();
    switch (orientation) {
    case ui::kOrientationPortraitUpsideDown:
        return gfx::AffineTransform::rotation(std::numbers::pi);
    case ui::kOrientationLandscapeRight:
        return gfx::AffineTransform::rotation(std::numbers::pi / 2);
    case ui::kOrientationLandscapeLeft:
        return gfx::AffineTransform::rotation(-std::numbers::pi / 2);
    default:
        return gfx::AffineTransform::identity();
    }
}

gfx::Rect DZTransparentOverlayPresenter::pivotedApplicationFrameForOrientation(long) const {
    const gfx::Rect oriented = DZDevice::sharedInstance()->standardizedOrientedApplicationFrame();
    return frameWithSize(oriented.size, pivotView_->bounds());
}

std::shared_ptr<ui::Window> DZTransparentOverlayPresenter::hostWindow(
    const std::shared_ptr<ui::ViewController>& presenting) const {
    if (presenting && presenting->isViewLoaded())
        if (auto window = presenting->view()->window()) return window;
    return DZApplication::sharedInstance()->mainWindow();
}

bool DZTransparentOverlayPresenter::canPresentFromViewController(
    const std::shared_ptr<ui::ViewController>& presenting) {
    const auto presented = presented_.lock();
    if (!presenting || !presented || !hostWindow(presenting)) return false;
    return !(presented->isViewLoaded() && presented->view()->window());
}

std::shared_ptr<ui::ViewController>
DZTransparentOverlayPresenter::presentationViewController() const {
    const auto presented = presented_.lock();
    const auto window =
        presented && presented->isViewLoaded() ? presented->view()->window() : nullptr;
    auto top = window ? window->rootViewController() : nullptr;
    while (top && top->presentedViewController()) top = top->presentedViewController();
    return top;
}

bool DZTransparentOverlayPresenter::presentFromViewController(
    const std::shared_ptr<ui::ViewController>& presenting, std::function<void()> completion) {
    if (!canPresentFromViewController(presenting)) return false;
    const auto presented = presented_.lock();
    const auto window = hostWindow(presenting);
    presented->beginAppearanceTransition(true, true);
    window->addSubview(pivotView_);
    composeTransparentInterstitialViewsForPresentation();

    const gfx::Rect applicationFrame = ui::Application::shared().applicationFrame();
    gfx::Point offset{0, applicationFrame.size.height};
    if (isOSBefore8()) {
        switch (ui::Application::shared().statusBarOrientation()) {
        case ui::kOrientationPortraitUpsideDown:
            offset = {0, -applicationFrame.size.height};
            break;
        case ui::kOrientationLandscapeRight:
            offset = {-applicationFrame.size.width, 0};
            break;
        case ui::kOrientationLandscapeLeft:
            offset = {applicationFrame.size.width, 0};
            break;
        default:
            break;
        }
    }
    const gfx::Point resting = pivotView_->center();
    pivotView_->setCenter({resting.x + offset.x, resting.y + offset.y});
    const auto pivot = pivotView_;
    std::weak_ptr<DZViewController> weakPresented = presented;
    ui::View::animate(
        kEntranceDuration, [&] { pivot->setCenter(resting); },
        [weakPresented, completion = std::move(completion)](bool) {
            if (const auto presented = weakPresented.lock()) presented->endAppearanceTransition();
            if (completion) completion();
        });
    return true;
}

void DZTransparentOverlayPresenter::composeTransparentInterstitialViewsForPresentation() {
    const auto presented = presented_.lock();
    if (!presented) return;
    const auto presentedView = presented->view();
    presentedView->setBackgroundColor(gfx::Color::clear());

    const gfx::Rect applicationFrame = ui::Application::shared().applicationFrame();
    pivotView_->setTransform(gfx::AffineTransform::identity());
    pivotView_->setFrame(frameWithSize(pivotView_->bounds().size, applicationFrame));
    pivotView_->setBackgroundColor(gfx::Color::clear());

    const long orientation = ui::Application::shared().statusBarOrientation();
    cropView_->setFrame(pivotedApplicationFrameForOrientation(orientation));
    presentedView->setFrame(cropView_->bounds());
    presentedView->setAutoresizingMask(ui::View::kFlexibleWidth | ui::View::kFlexibleHeight);

    pivotView_->addSubview(cropView_);
    cropView_->addSubview(presentedView);
    pivotView_->setTransform(transformForOrientation(orientation));
    presented->viewChangedToOrientation(orientation);

    stopObserving();
    auto& center = core::NotificationCenter::defaultCenter();
    std::weak_ptr<DZTransparentOverlayPresenter> weakSelf = weak_from_this();
    orientationChangeListener_ = center.addObserver(
        ui::DeviceProfile::StatusBarOrientationDidChangeNotification, nullptr, nullptr,
        [weakSelf](const core::Notification&) {
            if (const auto self = weakSelf.lock()) self->updateTransparentInterstitialOrientation();
        });
    if (const auto slot = presented->slot()) {
        std::weak_ptr<DZViewController> weakPresented = presented;
        placementDisappearanceObserver_ = center.addObserver(
            DZSlot::kDidLeaveWindowNotification, slot.get(), core::Queue::main(),
            [weakPresented](const core::Notification&) {
                const auto presented = weakPresented.lock();
                if (presented && presented->isViewLoaded() && presented->view()->window())
                    presented->relinquishScreenWithCompletion(nullptr);
            });
    }
}

void DZTransparentOverlayPresenter::updateTransparentInterstitialOrientation() {
    const gfx::Rect applicationFrame = ui::Application::shared().applicationFrame();
    const long orientation = ui::Application::shared().statusBarOrientation();
    const auto pivot = pivotView_;
    const auto crop = cropView_;
    ui::View::animate(
        ui::Application::shared().statusBarOrientationAnimationDuration(),
        [&] {
            crop->setFrame(pivotedApplicationFrameForOrientation(orientation));
            pivot->setCenter(centerOf(applicationFrame));
            pivot->setTransform(transformForOrientation(orientation));
        },
        [weakPresented = presented_, orientation](bool) {
            if (const auto presented = weakPresented.lock())
                presented->viewChangedToOrientation(orientation);
        });
}

void DZTransparentOverlayPresenter::dismissWithCompletionHandler(std::function<void()> handler) {
    stopObserving();
    const auto presented = presented_.lock();
    const auto presentedView =
        presented && presented->isViewLoaded() ? presented->view() : nullptr;
    if (presented) presented->beginAppearanceTransition(false, true);
    const auto pivot = pivotView_;
    std::weak_ptr<DZViewController> weakPresented = presented;
    ui::View::animate(
        kExitDuration,
        [&] {
            if (presentedView) presentedView->setAlpha(0);
        },
        [pivot, presentedView, weakPresented, handler = std::move(handler)](bool) {
            pivot->removeFromSuperview();
            if (presentedView) presentedView->removeFromSuperview();
            if (const auto presented = weakPresented.lock()) presented->endAppearanceTransition();
            if (handler) handler();
        });
}

}  // namespace ads
