#include "ads/presentation/fullscreen/DZInterstitialViewController.h"

#include "ads/core/app/DZApplication.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/foundation/DZAnalytics.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZThreading.h"
#include "ads/web/intercept/DZAdURLStash.h"
#include "ads/web/view/DZAdView.h"
#include "core/UserDefaults.h"

namespace ads {

std::shared_ptr<DZInterstitialViewController>
DZInterstitialViewController::create(const std::shared_ptr<DZSlot>& slot) {
    if (!slot) return nullptr;
    auto controller = std::make_shared<DZInterstitialViewController>(slot->adView());
    controller->setSlot(slot);
    if (slot->adView()) slot->adView()->setViewController(controller);
    return controller;
}

DZInterstitialViewController::DZInterstitialViewController(std::shared_ptr<DZAdView> adView)
    : DZAdAppViewController(std::move(adView)) {}

bool DZInterstitialViewController::presentFromViewController(
    const std::shared_ptr<ui::ViewController>& presenting, std::function<void()> completion) {
    const auto slot = this->slot();
    if (!slot || !slot->placement()) return false;
    if (const auto analytics = DZAnalytics::sharedInstance()) {
        const DZHostScreenView screen = analytics->getScreenName();
        previousScreenName_ = screen.screenName;
        previousScreenClass_ = screen.screenClass;
    }
    return DZAdAppViewController::presentFromViewController(presenting, std::move(completion));
}

bool DZInterstitialViewController::isLoaded() const {
    const auto slot = this->slot();
    return slot && slot->state() == DZSlot::kValidAd;
}

void DZInterstitialViewController::finishAppearing() {
    DZAdAppViewController::finishAppearing();
    const auto adView = this->adView();
    if (adView) {
        adView->dispatchSDKEvent("onshow", std::nullopt);
        DZAdURLStash::sharedInstance()->adViewDidFinishLayout(adView);
    }
    reportScreenName();
}

void DZInterstitialViewController::reportScreenName() {
    const std::optional<std::string>& host =
        previousScreenName_ ? previousScreenName_ : previousScreenClass_;
    if (!host || !core::UserDefaults::standard()->boolForKey(kScreenEnabledKey)) return;
    const auto slot = this->slot();
    const auto delegate = slot ? slot->slotDelegate() : nullptr;
    const bool rewarded = delegate &&
                          delegate->slotDelegateKind() == DZSlotDelegateKind::interstitial &&
                          delegate->servesRewardedAd();
    std::string name = *host + (rewarded ? "/Rewarded" : "/Interstitial");
    std::weak_ptr<DZInterstitialViewController> weakSelf =
        std::static_pointer_cast<DZInterstitialViewController>(sharedSelf());
    DZRunOnMainThread([weakSelf, name = std::move(name)] {
        const auto self = weakSelf.lock();
        if (!self || self->hasSetScreenName_) return;
        if (const auto analytics = DZAnalytics::sharedInstance())
            analytics->setScreenName(name, std::nullopt);
        self->hasSetScreenName_ = true;
    });
}

void DZInterstitialViewController::relinquishScreenWithCompletion(
    std::function<void()> completion) {
    if (const auto adView = this->adView()) adView->dispatchSDKEvent("onhide", std::nullopt);
    DZAdAppViewController::relinquishScreenWithCompletion(std::move(completion));
}

void DZInterstitialViewController::finishDismissal() {
    DZAdAppViewController::finishDismissal();
    setAdView(nullptr);
}

void DZInterstitialViewController::viewWillTransitionToSize(gfx::Size size) {
    DZAdAppViewController::viewWillTransitionToSize(size);
    if (!DZApplication::sharedInstance()->isSplitScreenEnabled()) return;
    const auto adView = this->adView();
    if (!adView) return;
    adView->setFrame(gfx::Rect(adView->frame().origin, size));
    const gfx::Size content = adView->contentSize();
    const auto slot = this->slot();
    const double threshold = slot && slot->ad() ? slot->ad()->croppedContentThreshold()
                                                : DZAd::kDefaultCroppedContentThreshold;
    if (content.height - size.height > threshold || content.width - size.width > threshold) {
        DZLogger::sharedInstance().logPublicMessage(kWindowTooSmallMessage);
        relinquishScreenWithCompletion(nullptr);
    }
}

}  // namespace ads
