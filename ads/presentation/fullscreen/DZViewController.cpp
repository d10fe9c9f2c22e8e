#include "ads/presentation/fullscreen/DZViewController.h"

#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/foundation/DZClock.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZStatisticDictionary.h"
#include "ads/presentation/fullscreen/DZIntermission.h"
#include "ads/presentation/fullscreen/DZModalOverlayPresenter.h"
#include "ads/presentation/fullscreen/DZOverlayPresenting.h"

namespace ads {

DZViewController::DZViewController() {
    setModalTransitionStyle(ui::ModalTransitionStyle::CoverVertical);
}

DZViewController::~DZViewController() {
    if (dismissalCompletion_) {
        auto completion = std::move(dismissalCompletion_);
        dismissalCompletion_ = nullptr;
        completion();
    }
    recordDismissal();
}

void DZViewController::setSupportedOrientations(unsigned long mask) {
    if (mask == 0) return;
    supportedInterfaceOrientations_ = mask;
}

void DZViewController::setPresenter(std::shared_ptr<DZOverlayPresenting> presenter) {
    presenter_ = std::move(presenter);
    if (presenter_) presenter_->setPresentedViewController(sharedSelf());
}

bool DZViewController::presentViewController(const std::shared_ptr<ui::ViewController>& controller,
                                             bool animated, std::function<void()> completion) {
    const auto target = presenter_ ? presenter_->presentationViewController() : nullptr;
    if (target && target.get() != this)
        return target->presentViewController(controller, animated, std::move(completion));
    return ui::ViewController::presentViewController(controller, animated, std::move(completion));
}

void DZViewController::dismissViewController(bool animated, std::function<void()> completion) {
    const auto target = presenter_ ? presenter_->presentationViewController() : nullptr;
    if (target && target.get() != this) {
        target->dismissViewController(animated, std::move(completion));
        return;
    }
    ui::ViewController::dismissViewController(animated, std::move(completion));
}

void DZViewController::addToCurrentIntermission() {
    const auto slot = slot_.lock();
    auto intermission = slot ? slot->intermission() : nullptr;
    if (!intermission) {
        intermission = DZIntermission::create(slot);
        if (slot) slot->setIntermission(intermission);
    }
    intermission_ = intermission;
    if (intermission_) intermission_->addParticipant(sharedSelf());
}

bool DZViewController::presentFromViewController(
    const std::shared_ptr<ui::ViewController>& presenting, std::function<void()> completion) {
    if (!presenting) {
        DZLogger::sharedInstance().logPublicMessage(kNoPresentingControllerMessage);
        return false;
    }
    if (!presenter_) setPresenter(std::make_shared<DZModalOverlayPresenter>());
    if (!presenter_->isReadyToPresent()) return false;
    // The platform's refusal is known before anything is joined or kept, so
    // that a presentation that does not go ahead opens no episode.
    if (!presenter_->canPresentFromViewController(presenting)) return false;

    const auto root = view();
    const bool wasInteractive = root->isUserInteractionEnabled();
    root->setUserInteractionEnabled(false);
    retainCycle_ = sharedSelf();
    addToCurrentIntermission();
    std::weak_ptr<DZViewController> weakSelf = sharedSelf();
    const bool presented = presenter_->presentFromViewController(
        presenting, [weakSelf, completion = std::move(completion)] {
            if (const auto self = weakSelf.lock()) self->finishAppearing();
            if (completion) completion();
        });
    if (presented) return true;
    // Refused after all: take every step back.
    root->setUserInteractionEnabled(wasInteractive);
    const auto keepAlive = std::move(retainCycle_);
    retainCycle_ = nullptr;
    if (const auto intermission = std::move(intermission_)) {
        intermission_ = nullptr;
        intermission->participantDidRelinquishScreen(keepAlive);
    }
    return false;
}

void DZViewController::relinquishScreenWithCompletion(std::function<void()> completion) {
    DZCallLog::record("DZViewController.relinquishScreenWithCompletion:");
    ++relinquishCount_;
    const auto self = sharedSelf();
    if (isViewLoaded()) view()->setUserInteractionEnabled(false);
    retainCycle_ = nullptr;
    dismissalPending_ = true;
    if (intermission_) intermission_->participantWillRelinquishScreen(self);
    if (!presenter_) {
        // Presented by other means than a presenter: the platform takes it
        // off the screen, and the dismissal ends when that is done.
        const auto presenting = presentingViewController();
        if (presenting && presenting->presentedViewController() == self) {
            std::weak_ptr<DZViewController> weakSelf = self;
            presenting->dismissViewController(
                true, [weakSelf, completion = std::move(completion)] {
                    if (const auto controller = weakSelf.lock()) controller->finishDismissalOnce();
                    if (completion) completion();
                });
            return;
        }
        finishDismissalOnce();
        if (completion) completion();
        return;
    }
    std::weak_ptr<DZViewController> weakSelf = self;
    presenter_->dismissWithCompletionHandler([weakSelf, completion = std::move(completion)] {
        if (const auto controller = weakSelf.lock()) controller->finishDismissalOnce();
        if (completion) completion();
    });
}

void DZViewController::finishDismissalOnce() {
    // The platform's viewDidDisappear and the presenter's completion both
    // end a dismissal; subclasses hear of it once.
    if (!dismissalPending_) return;
    dismissalPending_ = false;
    finishDismissal();
}

void DZViewController::finishAppearing() {
    if (isViewLoaded() && !view()->isUserInteractionEnabled())
        view()->setUserInteractionEnabled(true);
}

void DZViewController::finishDismissal() {
    // A dismissal the platform started never went through
    // relinquishScreenWithCompletion: the controller stops keeping itself
    // here, once it is off screen, so that it is not kept for ever.
    const auto keepAlive = std::move(retainCycle_);
    retainCycle_ = nullptr;
    if (const auto intermission = std::move(intermission_)) {
        intermission_ = nullptr;
        intermission->participantDidRelinquishScreen(sharedSelf());
    }
    if (dismissalCompletion_) {
        auto completion = std::move(dismissalCompletion_);
        dismissalCompletion_ = nullptr;
        completion();
    }
}

void DZViewController::recordDismissal() {
    const auto slot = slot_.lock();
    const auto ad = slot ? slot->ad() : nullptr;
    const auto statistics = ad ? ad->statistics() : nullptr;
    if (!statistics) return;
    const std::uint64_t dismissal = DZMonotonicMilliseconds();
    statistics->setObject(core::Value(static_cast<unsigned long long>(dismissal)),
                          "tlanding_page_load_dismiss", true);
    const core::Value clicked = statistics->objectForKeyedSubscript("tclickcurr");
    if (clicked.isNull()) return;
    statistics->addObject(
        core::Value(core::Array{clicked, core::Value(static_cast<unsigned long long>(dismissal))}),
        "tclick", true);
}

void DZViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    const auto root = view();
    root->setAutoresizingMask(ui::View::kFlexibleWidth | ui::View::kFlexibleHeight);
    root->setBackgroundColor(gfx::Color::black());
    root->setClipsToBounds(true);
}

void DZViewController::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    if (isBeingPresented() && !intermission_) addToCurrentIntermission();
}

void DZViewController::viewWillDisappear(bool animated) {
    ui::ViewController::viewWillDisappear(animated);
    if (!isBeingDismissed()) return;
    dismissalPending_ = true;
    if (intermission_) intermission_->participantWillRelinquishScreen(sharedSelf());
}

void DZViewController::viewDidDisappear(bool animated) {
    ui::ViewController::viewDidDisappear(animated);
    if (isBeingDismissed()) finishDismissalOnce();
}

}  // namespace ads
