#include "ads/presentation/interstitial/DZInterstitialOwner.h"

#include "ads/core/app/DZApplication.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/presentation/interstitial/DZInterstitial.h"
#include "ads/web/dmsg/DZDelayPageCloseDMSGHandler.h"
#include "ads/web/view/DZAdView.h"
#include "core/NotificationCenter.h"
#include "core/Queue.h"
#include "core/UserDefaults.h"
#include "ui/Window.h"

namespace ads {

std::shared_ptr<DZInterstitialOwner>
DZInterstitialOwner::create(const std::shared_ptr<DZInterstitial>& interstitial) {
    if (!interstitial) return nullptr;
    auto owner = std::make_shared<DZInterstitialOwner>(Token{});
    owner->weakInterstitial_ = interstitial;
    const core::Value stored = core::UserDefaults::standard()->objectForKey(kTimeoutKey);
    if (stored.isNumber() || stored.isString() || stored.isBool())
        owner->delayPageCloseTimeoutInterval_ = double(float(stored.doubleValue()));
    return owner;
}

DZInterstitialOwner::~DZInterstitialOwner() {
    core::NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
}

void DZInterstitialOwner::interstitialDidCreateSlot() {
    if (isSlotCreated_) return;
    isSlotCreated_ = true;
    observeInterstitial(weakInterstitial_.lock());
}

void DZInterstitialOwner::observeInterstitial(const std::shared_ptr<DZInterstitial>& interstitial) {
    const auto& slot = interstitial ? interstitial->slot() : nullptr;
    const auto adView = slot ? slot->adView() : nullptr;
    if (!adView) return;
    const auto self = shared_from_this();
    const std::weak_ptr<DZInterstitialOwner> weak = self;
    auto& center = core::NotificationCenter::defaultCenter();
    center.addObserver(std::static_pointer_cast<void>(self),
                       DZDelayPageCloseDMSGHandler::kStartNotification, adView.get(),
                       [weak](const core::Notification&) {
                           if (const auto owner = weak.lock())
                               owner->interstitialDelayPageCloseStarted();
                       });
    center.addObserver(std::static_pointer_cast<void>(self),
                       DZDelayPageCloseDMSGHandler::kStopNotification, adView.get(),
                       [weak](const core::Notification&) {
                           if (const auto owner = weak.lock())
                               owner->interstitialDelayPageCloseStopped();
                       });
}

void DZInterstitialOwner::interstitialWillBePresented() {
    presentedInterstitial_ = weakInterstitial_.lock();
    if (isInterstitialCloseDelayed_) pageCloseDelayedInterstitial_ = presentedInterstitial_;
}

void DZInterstitialOwner::interstitialDelayPageCloseStarted() {
    pageCloseDelayedInterstitial_ = presentedInterstitial_;
    isInterstitialCloseDelayed_ = true;
}

void DZInterstitialOwner::interstitialDelayPageCloseStopped() {
    // Releasing the interstitial may end it, and this owner with it.
    const auto self = shared_from_this();
    const auto released = std::move(pageCloseDelayedInterstitial_);
    pageCloseDelayedInterstitial_ = nullptr;
    stopObserving();
}

void DZInterstitialOwner::interstitialIsDismissed() {
    const auto self = shared_from_this();
    if (pageCloseDelayedInterstitial_) {
        const auto& slot = pageCloseDelayedInterstitial_->slot();
        moveAdViewToPlaceholderWindow(slot ? slot->adView() : nullptr);
        const std::weak_ptr<DZInterstitialOwner> weak = self;
        core::Queue::main()->after(delayPageCloseTimeoutInterval_, [weak] {
            if (const auto owner = weak.lock()) owner->interstitialDelayPageCloseStopped();
        });
    } else if (const auto interstitial = weakInterstitial_.lock()) {
        if (const auto& slot = interstitial->slot()) slot->invalidate();
    }
    const auto released = std::move(presentedInterstitial_);
    presentedInterstitial_ = nullptr;
}

void DZInterstitialOwner::moveAdViewToPlaceholderWindow(const std::shared_ptr<ui::View>& view) {
    if (!view) return;
    DZApplication::placeholderWindow()->addSubview(view);
}

void DZInterstitialOwner::stopObserving() {
    core::NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
}

}  // namespace ads
