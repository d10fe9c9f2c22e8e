#include "ads/presentation/fullscreen/DZModalOverlayPresenter.h"

#include <numbers>

#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZOrientation.h"
#include "ads/presentation/fullscreen/DZAdAppViewController.h"
#include "ads/presentation/fullscreen/DZIntermission.h"
#include "ads/presentation/fullscreen/DZViewController.h"
#include "core/Queue.h"
#include "ui/Application.h"
#include "ui/InterfaceOrientation.h"
#include "ui/View.h"

namespace ads {

namespace {

bool isOSBefore8() { return !DZDevice::sharedInstance()->isOSAtLeastMajor(8, 0, 0); }

}  // namespace

DZModalOverlayPresenter::~DZModalOverlayPresenter() {
    if (appForegroundObserver_)
        core::NotificationCenter::defaultCenter().removeObserver(appForegroundObserver_);
}

bool DZModalOverlayPresenter::canPresentFromViewController(
    const std::shared_ptr<ui::ViewController>& presenting) {
    const auto presented = presented_.lock();
    return presenting && presented && presenting->canPresentViewController(presented);
}

bool DZModalOverlayPresenter::presentFromViewController(
    const std::shared_ptr<ui::ViewController>& presenting, std::function<void()> completion) {
    if (!canPresentFromViewController(presenting)) return false;
    const auto presented = presented_.lock();
    hideStatusBar();
    if (appForegroundObserver_)
        core::NotificationCenter::defaultCenter().removeObserver(appForegroundObserver_);
    std::weak_ptr<DZModalOverlayPresenter> weakSelf = weak_from_this();
    appForegroundObserver_ = core::NotificationCenter::defaultCenter().addObserver(
        ui::Application::WillEnterForegroundNotification, nullptr, core::Queue::main(),
        [weakSelf](const core::Notification&) {
            if (const auto self = weakSelf.lock()) self->hideStatusBar();
        });
    return presenting->presentViewController(presented, true, std::move(completion));
}

std::shared_ptr<ui::ViewController> DZModalOverlayPresenter::presentationViewController() const {
    return presented_.lock();
}

void DZModalOverlayPresenter::hideStatusBar() {
    const auto presented = presented_.lock();
    if (!presented || presented->modalPresentationStyle() != ui::ModalPresentationStyle::FullScreen)
        return;
    if (const auto intermission = presented->intermission())
        intermission->participantWillOverrideStatusBarVisibility(presented.get());
    ui::Application::shared().setStatusBarHidden(true);
}

void DZModalOverlayPresenter::dismissWithCompletionHandler(std::function<void()> handler) {
    const auto presented = presented_.lock();
    const auto presenting = presented ? presented->presentingViewController() : nullptr;
    if (appForegroundObserver_) {
        core::NotificationCenter::defaultCenter().removeObserver(appForegroundObserver_);
        appForegroundObserver_ = {};
    }
    if (presenting && presenting->presentedViewController() == presented) {
        presenting->dismissViewController(true, std::move(handler));
        return;
    }
    if (handler) handler();
}

void DZModalOverlayPresenter::setNeedsUpdateOrientation() {
    const auto controller = std::dynamic_pointer_cast<DZAdAppViewController>(presented_.lock());
    if (!controller || !controller->presentingViewController() || controller->adOrientations() == 0)
        return;
    if (DZViewControllerOnlySupportsApplicationOrientation()) {
        updateViewControllerOrientation(controller);
    } else {
        forceUpdateViewControllerOrientation(controller);
    }
}

void DZModalOverlayPresenter::updateViewControllerOrientation(
    const std::shared_ptr<DZAdAppViewController>& controller) {
    controller->setSupportedInterfaceOrientations(controller->adOrientations());
    const long current = ui::Application::shared().statusBarOrientation();
    if (controller->adOrientations() & ui::orientationMask(current)) return;
    // The interface turns only when a presentation or a dismissal makes the
    // platform look at the top controller's orientations again: present an
    // invisible controller and take it away at once.
    std::weak_ptr<DZAdAppViewController> weakController = controller;
    core::Queue::main()->async([weakController] {
        const auto controller = weakController.lock();
        if (!controller) return;
        auto blank = std::make_shared<DZViewController>();
        blank->setSlot(controller->slot());
        blank->setSupportedInterfaceOrientations(controller->supportedInterfaceOrientations());
        blank->view()->setAlpha(0);
        std::weak_ptr<DZViewController> weakBlank = blank;
        controller->presentViewController(blank, false, [weakController, weakBlank] {
            core::Queue::main()->async([weakController, weakBlank] {
                const auto blank = weakBlank.lock();
                const auto controller = weakController.lock();
                if (!blank || !controller) return;
                blank->dismissViewController(false, [weakController] {
                    if (const auto controller = weakController.lock())
                        controller->viewChangedToOrientation(
                            ui::Application::shared().statusBarOrientation());
                });
            });
        });
    });
}

std::optional<DZModalOverlayPresenter::ForcedLayout>
DZModalOverlayPresenter::forcedLayout(unsigned long adOrientations, long statusBarOrientation) {
    if (adOrientations == 0) return std::nullopt;
    const unsigned long current = ui::orientationMask(statusBarOrientation);
    ForcedLayout layout;
    unsigned long allowed = 0;
    if (DZOrientationMaskHasPortraitAndLandscape(adOrientations)) {
        layout.supportedOrientations = 30;
        allowed = 30;
    } else {
        layout.supportedOrientations = current;
        allowed = (adOrientations & ui::kOrientationMaskLandscape) ? 24 : 6;
    }
    const auto device = DZDevice::sharedInstance();
    if (current & allowed) {
        layout.bounds = device->standardizedOrientedScreenBounds();
    } else if (current == ui::kOrientationMaskPortrait ||
               current == ui::kOrientationMaskPortraitUpsideDown) {
        layout.bounds = device->standardizedLandscapeScreenBounds();
        layout.forcedOrientation = ui::kOrientationLandscapeRight;
        layout.quarterTurns = 1;
    } else if (current == ui::kOrientationMaskLandscapeLeft) {
        layout.bounds = device->standardizedPortraitScreenBounds();
        layout.forcedOrientation = ui::kOrientationPortrait;
        layout.quarterTurns = 1;
    } else if (current == ui::kOrientationMaskLandscapeRight) {
        layout.bounds = device->standardizedPortraitScreenBounds();
        layout.forcedOrientation = ui::kOrientationPortrait;
        layout.quarterTurns = 3;
    } else {
        return std::nullopt;
    }
    if (isOSBefore8()) {
        static constexpr int kTurns[] = {0, 0, 2, 1, 3};
        const long index =
            layout.forcedOrientation != 0 ? layout.forcedOrientation : statusBarOrientation;
        if (index >= 0 && index <= 4) layout.quarterTurns = kTurns[index];
    }
    return layout;
}

gfx::AffineTransform DZModalOverlayPresenter::forcedTransform(const gfx::Rect& frame,
                                                              int quarterTurns) {
    gfx::AffineTransform transform = gfx::AffineTransform::identity();
    if (quarterTurns == 0) return transform;
    const double d = (frame.size.width - frame.size.height) / 2;
    if (quarterTurns % 2 == 1) transform = transform.translated(-d, d);
    return transform.rotated(quarterTurns * std::numbers::pi / 2);
}

void DZModalOverlayPresenter::forceUpdateViewControllerOrientation(
    const std::shared_ptr<DZAdAppViewController>& controller) {
    const unsigned long mask = controller->adOrientations();
    if (mask == 0) return;
    const long current = ui::Application::shared().statusBarOrientation();
    if (DZOrientationMaskHasPortraitAndLandscape(mask)) {
        controller->setSupportedInterfaceOrientations(30);
    } else {
        controller->setSupportedInterfaceOrientations(ui::orientationMask(current));
    }
    const auto layout = forcedLayout(mask, current);
    if (!layout) return;
    controller->setForcedAdOrientation(layout->forcedOrientation);
    const auto view = controller->view();
    ui::View::animate(controller->orientationUpdateAnimationDuration(), [&] {
        view->setTransform(gfx::AffineTransform::identity());
        view->setFrame(layout->bounds);
        if (layout->quarterTurns == 0) return;
        view->setTransform(forcedTransform(view->frame(), layout->quarterTurns));
        view->setNeedsLayout();
    });
    controller->viewChangedToOrientation(controller->forcedAdOrientation());
}

}  // namespace ads
