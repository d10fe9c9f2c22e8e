#include "ads/presentation/click/DZMRAIDResizeOverlayPresenter.h"

#include <cstdio>

#include "ads/core/slot/DZMRAIDEventHandling.h"
#include "ads/presentation/fullscreen/DZUnclickableView.h"
#include "ads/presentation/fullscreen/DZViewController.h"
#include "ads/web/intercept/DZMRAIDResizeProperties.h"
#include "core/OperationQueue.h"
#include "core/Queue.h"
#include "ui/Application.h"
#include "ui/View.h"

namespace ads {

namespace {

constexpr double kRecheckDelay = 0.1;

gfx::Rect requestedFrame(const DZMRAIDResizeProperties& properties) {
    return {properties.offset().width, properties.offset().height, properties.size().width,
            properties.size().height};
}

bool fits(const gfx::Rect& frame, const gfx::Rect& bounds, const DZMRAIDResizeProperties& p) {
    return DZMRAIDResizeProperties::isContentFrameValid(frame, bounds, p.allowOffscreen(),
                                                        p.customClosePosition());
}

std::string printed(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace

DZMRAIDResizeOverlayPresenter::DZMRAIDResizeOverlayPresenter(
    std::shared_ptr<ui::View> referenceView)
    : referenceView_(std::move(referenceView)) {}

std::weak_ptr<DZMRAIDResizeOverlayPresenter> DZMRAIDResizeOverlayPresenter::weakSelf() {
    return std::static_pointer_cast<DZMRAIDResizeOverlayPresenter>(shared_from_this());
}

std::string DZMRAIDResizeOverlayPresenter::describe(const DZMRAIDResizeProperties& p) {
    return "<DZMRAIDResizeProperties: offset (" + printed(p.offset().width) + ", " +
           printed(p.offset().height) + ") size (" + printed(p.size().width) + " x " +
           printed(p.size().height) + ") closePosition " + std::to_string(p.customClosePosition()) +
           " allowOffscreen " + (p.allowOffscreen() ? "YES" : "NO") + ">";
}

bool DZMRAIDResizeOverlayPresenter::resizePropertiesAreValid(
    const std::shared_ptr<DZMRAIDResizeProperties>& properties, const ui::View* view) const {
    if (!properties) return false;
    const gfx::Rect screen = ui::Application::shared().applicationFrame();
    const gfx::Rect bounds = view ? view->convertRectFrom(screen, nullptr) : screen;
    const gfx::Rect frame = requestedFrame(*properties);
    if (fits(frame, bounds, *properties)) return true;
    if (properties->allowOffscreen()) return false;
    return fits(adjustedContentFrame(frame, bounds), bounds, *properties);
}

void DZMRAIDResizeOverlayPresenter::setResizeProperties(
    const std::shared_ptr<DZMRAIDResizeProperties>& properties) {
    if (resizePropertiesAreValid(properties, referenceView_.get())) {
        resizeProperties_ = properties;
        return;
    }
    reportError("Received invalid resize properties " +
                    (properties ? describe(*properties) : std::string("(null)")),
                "setResizeProperties");
}

gfx::Rect DZMRAIDResizeOverlayPresenter::adjustedContentFrame(const gfx::Rect& frame,
                                                              const gfx::Rect& bounds) {
    gfx::Rect adjusted = frame;
    if (adjusted.minX() < bounds.minX())
        adjusted.origin.x = bounds.minX();
    else if (adjusted.maxX() > bounds.maxX())
        adjusted.origin.x = std::max(bounds.maxX() - adjusted.size.width, bounds.minX());
    if (adjusted.minY() < bounds.minY())
        adjusted.origin.y = bounds.minY();
    else if (adjusted.maxY() > bounds.maxY())
        adjusted.origin.y = std::max(bounds.maxY() - adjusted.size.height, bounds.minY());
    return adjusted;
}

gfx::Rect DZMRAIDResizeOverlayPresenter::contentFrame() const {
    if (!resizeProperties_) return {};
    const auto crop = cropView();
    gfx::Rect frame = requestedFrame(*resizeProperties_);
    if (referenceView_ && crop) frame = referenceView_->convertRectTo(frame, crop.get());
    if (crop && !resizeProperties_->allowOffscreen() &&
        !fits(frame, crop->bounds(), *resizeProperties_))
        frame = adjustedContentFrame(frame, crop->bounds());
    return frame;
}

void DZMRAIDResizeOverlayPresenter::repositionContentIfNeeded() {
    const auto controller = presentedViewController();
    if (!controller || !resizeProperties_) return;
    const auto view = controller->view();
    const gfx::Rect frame = contentFrame();
    if (view->frame() != frame) {
        view->setFrame(frame);
        std::weak_ptr<DZMRAIDResizeOverlayPresenter> weakSelf = this->weakSelf();
        core::Queue::main()->after(kRecheckDelay, [weakSelf] {
            if (const auto self = weakSelf.lock()) self->repositionContentIfNeeded();
        });
        return;
    }
    const auto crop = cropView();
    const gfx::Rect bounds = crop ? crop->bounds() : ui::Application::shared().applicationFrame();
    if (fits(frame, bounds, *resizeProperties_)) return;
    std::weak_ptr<DZMRAIDResizeOverlayPresenter> weakSelf = this->weakSelf();
    std::weak_ptr<ui::ViewController> weakController = controller;
    core::OperationQueue::main()->addOperation([weakSelf, weakController] {
        if (const auto self = weakSelf.lock())
            self->reportError("Resize properties became invalid after device rotation.", "resize");
        const auto controller = weakController.lock();
        if (auto* fullScreen = dynamic_cast<DZViewController*>(controller.get()))
            fullScreen->relinquishScreenWithCompletion({});
    });
}

bool DZMRAIDResizeOverlayPresenter::isReadyToPresent() const {
    if (!resizeProperties_) return false;
    if (resizePropertiesAreValid(resizeProperties_, referenceView_.get()))
        return DZTransparentOverlayPresenter::isReadyToPresent();
    reportError("Tried to resize with invalid resize properties " + describe(*resizeProperties_),
                "resize");
    return false;
}

void DZMRAIDResizeOverlayPresenter::composeTransparentInterstitialViewsForPresentation() {
    DZTransparentOverlayPresenter::composeTransparentInterstitialViewsForPresentation();
    const auto controller = presentedViewController();
    if (!controller) return;
    controller->view()->setAutoresizingMask(0);
    controller->view()->setFrame(contentFrame());
}

void DZMRAIDResizeOverlayPresenter::updateTransparentInterstitialOrientation() {
    DZTransparentOverlayPresenter::updateTransparentInterstitialOrientation();
    repositionContentIfNeeded();
}

void DZMRAIDResizeOverlayPresenter::reportError(const std::string& message,
                                                const std::string& action) const {
    if (const auto handler = MRAIDEventHandler_.lock()) handler->handleError(message, action);
}

}  // namespace ads
