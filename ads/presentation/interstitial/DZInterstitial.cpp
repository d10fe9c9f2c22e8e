#include "ads/presentation/interstitial/DZInterstitial.h"

#include <cmath>
#include <exception>

#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZAnalytics.h"
#include "ads/foundation/DZBufferedSawmillLogger.h"
#include "ads/foundation/DZCSI.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZLoggingHierarchy.h"
#include "ads/foundation/DZSawmillEvent.h"
#include "ads/foundation/DZSawmillLogger.h"
#include "ads/foundation/DZThreading.h"
#include "ads/mediation/core/DZMAdNetworkConnectorInterstitial.h"
#include "ads/presentation/interstitial/DZInterstitialDelegate.h"
#include "ads/presentation/interstitial/DZInterstitialOwner.h"
#include "ads/presentation/interstitial/DZInterstitialViewControllerPresenter.h"
#include "ads/presentation/interstitial/cache/DZInterstitialCache.h"
#include "ads/presentation/interstitial/cache/DZInterstitialCacheEntry.h"
#include "ads/presentation/rewarded/DZRewardBasedVideoAd.h"
#include "ads/web/view/DZAdView.h"
#include "core/NotificationCenter.h"
#include "core/Queue.h"
#include "core/StringFormat.h"
#include "core/UserDefaults.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

namespace ads {

namespace {

DZInterstitialPresenterFactory& presenterFactory() {
    static DZInterstitialPresenterFactory factory = DZInterstitial::defaultPresenterFactory();
    return factory;
}

constexpr std::uint64_t kAllOrientations = 30;

}  // namespace

DZInterstitialPresenterFactory DZInterstitial::defaultPresenterFactory() {
    return [](const std::shared_ptr<DZSlot>& slot) -> std::shared_ptr<DZInterstitialPresenting> {
        return DZInterstitialViewControllerPresenter::create(slot);
    };
}

void DZInterstitial::setPresenterFactory(DZInterstitialPresenterFactory factory) {
    presenterFactory() = std::move(factory);
}

void DZInterstitial::setCacheForTesting(std::shared_ptr<DZInterstitialCache> cache) {
    DZInterstitialCache::setSharedInstanceForTesting(std::move(cache));
}

std::shared_ptr<DZInterstitial> DZInterstitial::create(std::string adUnitID) {
    return make<DZInterstitial>(std::move(adUnitID));
}

DZInterstitial::DZInterstitial(Token, std::string adUnitID) : adUnitID_(std::move(adUnitID)) {}

void DZInterstitial::commonInit() {
    interstitialOwner_ = DZInterstitialOwner::create(shared_from_this());
    bufferedLogger_ = DZBufferedSawmillLogger::create();
}

DZInterstitial::~DZInterstitial() {
    if (slot_) {
        slot_->finishLiveViewReporting();
        slot_->invalidate();
    }
    core::NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
    if (slot_) {
        if (const auto& view = slot_->adView()) view->setViewController({});
        slot_->cancelPendingAndFutureActions();
    }
    DZLoggingHierarchy::sharedInstance()->removeObject(
        static_cast<const void*>(static_cast<const DZInterstitial*>(this)));
}

std::shared_ptr<const void> DZInterstitial::loggingObject() const {
    return std::static_pointer_cast<const DZInterstitial>(shared_from_this());
}

// Loading.

void DZInterstitial::loadRequest(const std::shared_ptr<DZRequest>& request) {
    if (bufferedLogger_)
        bufferedLogger_->bufferEvent(
            DZSawmillEvent(kEventName, core::Dictionary{{"loading_started", 1}}));
    const auto copy = request ? request->copy() : std::make_shared<DZRequest>();
    const auto application = DZApplication::sharedInstance();
    application->requesterWillBeginRequest(this);
    const std::weak_ptr<DZInterstitial> weak = shared_from_this();
    core::Queue::main()->async([weak, copy] {
        const auto self = weak.lock();
        if (!self) return;
        if (self->slot_) {
            self->slot_->loadRequest(copy);
            return;
        }
        if (core::UserDefaults::standard()->objectForKey(kPoolEnabledKey).boolValue()) {
            const auto cache = DZInterstitialCache::sharedInstance();
            if (const auto entry = cache->cacheEntryForRequest(copy, self->adUnitID_)) {
                self->loadSlotFromCacheEntry(entry);
                if (self->slot_) return;
            }
        }
        self->createSlot();
        if (self->slot_) self->slot_->loadRequest(copy);
    });
    application->requesterDidEndRequest(this);
}

void DZInterstitial::createSlot() {
    if (slot_) return;
    auto slot = DZSlot::create(DZDevice::sharedInstance()->standardizedPortraitScreenBounds());
    if (!slot) return;
    const auto self = shared_from_this();
    slot->setSlotDelegate(std::static_pointer_cast<DZSlotDelegate>(self));
    slot->setAdEventDelegate(std::static_pointer_cast<DZSlotAdEventDelegate>(self));
    slot->setAdLoadDelegate(std::static_pointer_cast<DZSlotAdLoadDelegate>(self));
    if (const auto& view = slot->adView()) {
        view->configureAsInterstitialAdView();
        view->setRewardBasedVideoAdDMSGHandlerDelegate(
            std::static_pointer_cast<DZRewardBasedVideoAdDMSGHandlerDelegate>(self));
    }
    slot->setAdResponseDelegate(std::static_pointer_cast<DZSlotAdResponseDelegate>(self));
    slot->setPlacement(loggingObject());
    slot->setAdUnitID(adUnitID_);
    slot_ = std::move(slot);
    interstitialCreatedSlot();
    viewController_ = presenterFactory() ? presenterFactory()(slot_) : nullptr;
    if (interstitialOwner_) interstitialOwner_->interstitialDidCreateSlot();
}

void DZInterstitial::loadSlotFromCacheEntry(const std::shared_ptr<DZInterstitialCacheEntry>& entry) {
    if (!entry || !entry->slot()) return;
    slot_ = entry->slot();
    interstitialCreatedSlot();
    const auto self = shared_from_this();
    slot_->setAdEventDelegate(std::static_pointer_cast<DZSlotAdEventDelegate>(self));
    slot_->setAdLoadDelegate(std::static_pointer_cast<DZSlotAdLoadDelegate>(self));
    slot_->setAdResponseDelegate(std::static_pointer_cast<DZSlotAdResponseDelegate>(self));
    slot_->setSlotDelegate(std::static_pointer_cast<DZSlotDelegate>(self));
    // A mediation waterfall may still be running: its next network asks the
    // ad's mediation delegate, held weakly, for a connector. The entry goes
    // once taken, so the interstitial answers from now on.
    if (const auto& ad = slot_->ad()) {
        const auto delegate = ad->mediationDelegate().lock();
        if (delegate && delegate == std::static_pointer_cast<DZAdMediationDelegate>(entry))
            ad->setMediationDelegate(std::static_pointer_cast<DZAdMediationDelegate>(self));
    }
    if (const auto& view = slot_->adView())
        view->setRewardBasedVideoAdDMSGHandlerDelegate(
            std::static_pointer_cast<DZRewardBasedVideoAdDMSGHandlerDelegate>(self));
    if (interstitialOwner_) interstitialOwner_->interstitialDidCreateSlot();
    slot_->setPlacement(loggingObject());
    entry->slotDidMoveToPlacement();
    viewController_ = presenterFactory() ? presenterFactory()(slot_) : nullptr;
    if (entry->error())
        didFailToLoadAdContentWithError(*slot_, *entry->error());
    else if (entry->loaded())
        slotFinishedLoadingAdContent(*slot_);
}

// Logging.

void DZInterstitial::interstitialCreatedSlot() {
    const auto hierarchy = DZLoggingHierarchy::sharedInstance();
    hierarchy->linkObject(slot_, {loggingObject()});
    if (hierarchy->loggerForObject(loggingObject())) {
        rootObjectLoggerChanged();
        return;
    }
    const auto root = hierarchy->rootObjectForObject(loggingObject());
    const std::weak_ptr<DZInterstitial> weak = shared_from_this();
    core::NotificationCenter::defaultCenter().addObserver(
        std::weak_ptr<void>(std::static_pointer_cast<void>(shared_from_this())),
        std::string(DZLoggingHierarchyRootObjectLoggerDidChangeNotification), root.get(),
        [weak](const core::Notification&) {
            if (const auto self = weak.lock()) self->rootObjectLoggerChanged();
        });
}

void DZInterstitial::rootObjectLoggerChanged() {
    const auto logger = DZLoggingHierarchy::sharedInstance()->loggerForObject(loggingObject());
    if (logger == logger_.lock()) return;
    logger_ = logger;
    if (!logger) return;
    logger->reportEvent(DZSawmillEvent(
        kEventName, core::Dictionary{{"ad_unit_id", adUnitID_}, {"class", className()}}));
    if (bufferedLogger_) bufferedLogger_->reportBufferedEventsToLogger(*logger);
}

void DZInterstitial::logEvent(const std::optional<core::Dictionary>& event) const {
    if (const auto logger = logger_.lock()) logger->reportEvent(event);
}

// Properties.

bool DZInterstitial::servesRewardedAd() const {
    return std::dynamic_pointer_cast<DZRewardBasedVideoAd>(delegate()) != nullptr;
}

bool DZInterstitial::isReady() const {
    return slot_ && slot_->state() == DZSlot::kValidAd;
}

void DZInterstitial::cancel() {
    if (slot_) slot_->cancelPendingAndFutureActions();
}

std::optional<std::string> DZInterstitial::adNetworkClassName() const {
    return slot_ ? slot_->adNetworkClassName() : std::nullopt;
}

void DZInterstitial::setAdUnitID(std::string adUnitID) {
    adUnitID_ = std::move(adUnitID);
    if (slot_) slot_->setAdUnitID(adUnitID_);
}

// Presenting.

void DZInterstitial::presentFromRootViewController(const std::shared_ptr<ui::ViewController>& root) {
    alreadyUsedError_ = DZErrorWithCode(kDZErrorInterstitialAlreadyUsed);
    auto& log = DZLogger::sharedInstance();
    if (hasBeenUsed_) {
        log.logPublicMessage(alreadyUsedError_->message);
        return;
    }
    if (!isReady()) {
        log.logPublicMessage(kNotReadyMessage);
        return;
    }
    if (!canPresentFullScreen()) {
        adPresentationDidFail();
        return;
    }
    const auto self = shared_from_this();
    if (slot_->isMediating()) {
        if (const auto& csi = slot_->CSI()) csi->recordTimestampForLabel(kPresentedTimestamp);
        logEvent(DZSawmillFlagEvent(kEventName, "presented"));
        if (interstitialOwner_) interstitialOwner_->interstitialWillBePresented();
        slot_->presentMediatedInterstitialFromRootViewController(root);
        hasBeenUsed_ = true;
        return;
    }
    if (!root) {
        log.logPublicMessage("Cannot present interstitial without a root view controller.");
        adPresentationDidFail();
        return;
    }
    if (!slot_->placement() || !viewController_) {
        log.logPublicMessage("Cannot present interstitial. Its full-screen controller is missing.");
        adPresentationDidFail();
        return;
    }
    viewController_->setSlot(slot_);
    const std::uint64_t supported = slot_->ad() ? slot_->ad()->supportedOrientations() : 0;
    const std::uint64_t current = viewController_->adOrientations();
    if (current == 0 || (supported != 0 && supported != kAllOrientations &&
                         !viewController_->adOrientationsOverridesLockedOrientation()))
        viewController_->setAdOrientations(supported);
    rootViewController_ = root;
    bool presented = false;
    try {
        presented = viewController_->presentFromRootViewController(root);
    } catch (const std::exception& exception) {
        log.logPublicMessage(core::format("Presenting the interstitial threw exception: %@ with trace: %@",
                                          std::string(exception.what()), std::string("(none)")));
    } catch (...) {
        log.logPublicMessage(core::format("Presenting the interstitial threw exception: %@ with trace: %@",
                                          std::string("unknown"), std::string("(none)")));
    }
    if (!presented) {
        adPresentationDidFail();
        return;
    }
    if (const auto& csi = slot_->CSI()) csi->recordTimestampForLabel(kPresentedTimestamp);
    logEvent(DZSawmillFlagEvent(kEventName, "presented"));
    if (interstitialOwner_) interstitialOwner_->interstitialWillBePresented();
    slot_->didMakeAdImpression();
    hasBeenUsed_ = true;
}

bool DZInterstitial::canFitAdSize(gfx::Size ad, gfx::Size window, double threshold) {
    const bool straight = std::fabs(window.width - ad.width) < threshold &&
                          std::fabs(window.height - ad.height) < threshold;
    const bool turned = std::fabs(window.height - ad.width) < threshold &&
                        std::fabs(window.width - ad.height) < threshold;
    return straight || turned;
}

bool DZInterstitial::canPresentFullScreen() const {
    const auto application = DZApplication::sharedInstance();
    const auto& ad = slot_ ? slot_->ad() : nullptr;
    if (!application->isSplitScreenEnabled()) {
        if (core::UserDefaults::standard()->boolForKey(kOnlyApplicationOrientationKey) && ad &&
            !application->supportsOrientations(ad->supportedOrientations())) {
            DZLogger::sharedInstance().logPublicMessage(kOrientationMessage);
            return false;
        }
        return true;
    }
    if (adNetworkClassName() != std::optional<std::string>(DZSlot::kOwnAdapterClassName) || !ad)
        return true;
    gfx::Size window;
    if (const auto main = application->mainWindow())
        window = main->bounds().standardized().size;
    else
        window = DZDevice::sharedInstance()->standardizedOrientedKeyWindowSize();
    const gfx::Size size = ad->size();
    if (canFitAdSize(size, window, ad->croppedContentThreshold())) return true;
    if (size.width >= 0.01 && size.height >= 0.01) {
        DZLogger::sharedInstance().logPublicMessage(kSizeMessage);
        return false;
    }
    return true;
}

void DZInterstitial::adPresentationDidFail() {
    const std::weak_ptr<DZInterstitial> weak = shared_from_this();
    core::Queue::main()->async([weak] {
        const auto self = weak.lock();
        const auto delegate = self ? self->delegate() : nullptr;
        if (!delegate) return;
        if (delegate->handlesFailureToPresent()) {
            delegate->interstitialDidFailToPresentScreen(*self);
            return;
        }
        delegate->interstitialWillPresentScreen(*self);
        core::Queue::main()->async([weak] {
            const auto self = weak.lock();
            if (const auto delegate = self ? self->delegate() : nullptr)
                delegate->interstitialWillDismissScreen(*self);
        });
        core::Queue::main()->async([weak] {
            const auto self = weak.lock();
            if (const auto delegate = self ? self->delegate() : nullptr)
                delegate->interstitialDidDismissScreen(*self);
        });
    });
}

// Gates.

bool DZInterstitial::applicationSupportsAdResponse(const std::shared_ptr<DZAd>& ad,
                                                   std::optional<Error>* error) {
    const auto application = DZApplication::sharedInstance();
    if (application->isSplitScreenEnabled() ||
        !core::UserDefaults::standard()->boolForKey(kOnlyApplicationOrientationKey))
        return true;
    if (!ad || application->supportsOrientations(ad->supportedOrientations())) return true;
    if (error) *error = DZErrorWithCode(kDZErrorReceivedInvalidResponse);
    return false;
}

std::optional<bool> DZInterstitial::shouldLoadRequest(DZSlot&, const std::shared_ptr<DZRequest>&,
                                                      std::optional<Error>* error) {
    if (!hasBeenUsed_) return true;
    if (!alreadyUsedError_) alreadyUsedError_ = DZErrorWithCode(kDZErrorInterstitialAlreadyUsed);
    DZLogger::sharedInstance().logPublicMessage(alreadyUsedError_->message);
    if (error) *error = alreadyUsedError_;
    return false;
}

std::optional<bool> DZInterstitial::slotShouldReloadCurrentRequest(DZSlot&) {
    return false;
}

bool DZInterstitial::shouldProcessAdResponse(DZSlot&, const std::shared_ptr<DZAd>& ad,
                                             std::optional<Error>* error) {
    return applicationSupportsAdResponse(ad, error);
}

void DZInterstitial::willProcessMediatedAdResponse(DZSlot&, const std::shared_ptr<DZAd>& ad) {
    if (ad)
        ad->setMediationDelegate(std::static_pointer_cast<DZAdMediationDelegate>(shared_from_this()));
}

std::shared_ptr<DZMAdNetworkConnector> DZInterstitial::mediationConnectorForConfiguration(
    const std::shared_ptr<DZMConfig>& configuration,
    const std::shared_ptr<DZMAdNetworkConfig>& network) {
    return DZMAdNetworkConnectorInterstitial::create(configuration, network);
}

// Slot events.

void DZInterstitial::tellDelegate(std::function<void(DZInterstitialDelegate&, DZInterstitial&)> call) {
    const std::weak_ptr<DZInterstitial> weak = shared_from_this();
    DZRunOnMainThread([weak, call = std::move(call)] {
        const auto self = weak.lock();
        if (const auto delegate = self ? self->delegate() : nullptr) call(*delegate, *self);
    });
}

void DZInterstitial::slotFinishedLoadingAdContent(DZSlot&) {
    logEvent(DZSawmillFlagEvent(kEventName, "loading_succeeded"));
    tellDelegate([](DZInterstitialDelegate& delegate, DZInterstitial& self) {
        delegate.interstitialDidReceiveAd(self);
    });
}

void DZInterstitial::didFailToLoadAdContentWithError(DZSlot&, const Error& error) {
    logEvent(DZSawmillEvent(kEventName,
                            core::Dictionary{{"loading_failed", DZSawmillErrorParameters(error)}}));
    const DZRequestError requestError = DZRequestErrorFromError(error);
    tellDelegate([requestError](DZInterstitialDelegate& delegate, DZInterstitial& self) {
        delegate.didFailToReceiveAdWithError(self, requestError);
    });
}

void DZInterstitial::slotWillPresentScreen(DZSlot&) {
    const std::weak_ptr<DZInterstitial> weak = shared_from_this();
    DZRunOnMainThread([weak] {
        const auto self = weak.lock();
        if (!self) return;
        if (const auto analytics = DZAnalytics::sharedInstance();
            analytics && !self->isMediated_ && !self->adUnitExposureBegan_) {
            analytics->beginAdUnitExposure(self->adUnitID_);
            self->adUnitExposureBegan_ = true;
        }
        if (const auto delegate = self->delegate()) delegate->interstitialWillPresentScreen(*self);
    });
}

void DZInterstitial::slotWillDismissScreen(DZSlot&) {
    tellDelegate([](DZInterstitialDelegate& delegate, DZInterstitial& self) {
        delegate.interstitialWillDismissScreen(self);
    });
}

void DZInterstitial::slotDidDismissScreen(DZSlot&) {
    logEvent(DZSawmillFlagEvent(kEventName, "dismissed"));
    const auto self = shared_from_this();
    if (interstitialOwner_) interstitialOwner_->interstitialIsDismissed();
    DZRunOnMainThread([self] {
        if (self->adUnitExposureBegan_) {
            if (const auto analytics = DZAnalytics::sharedInstance())
                analytics->endAdUnitExposure(self->adUnitID_);
            self->adUnitExposureBegan_ = false;
        }
        if (self->slot_) self->slot_->finishLiveViewReporting();
        if (const auto delegate = self->delegate()) delegate->interstitialDidDismissScreen(*self);
    });
}

void DZInterstitial::slotWillLeaveApplication(DZSlot&) {
    tellDelegate([](DZInterstitialDelegate& delegate, DZInterstitial& self) {
        delegate.interstitialWillLeaveApplication(self);
    });
}

void DZInterstitial::slotDidReceiveAdClick(DZSlot&) {
    if (const auto click = std::dynamic_pointer_cast<DZInterstitialAdClickDelegate>(delegate()))
        click->interstitialDidReceiveAdClick(*this);
}

void DZInterstitial::slotDidLoadMRAIDAd(DZSlot&) {
    if (viewController_) viewController_->positionCloseButton();
}

bool DZInterstitial::shouldChangeAudioSessionCategoryTo(DZSlot&, const std::string& category) {
    const auto delegate = this->delegate();
    return !delegate || delegate->shouldChangeAudioSessionToCategory(*this, category).value_or(true);
}

bool DZInterstitial::shouldDisableVideoEventReportToAudioVideoManager(DZSlot&,
                                                                      DZAudioVideoManager&) {
    const core::Value value = core::UserDefaults::standard()->objectForKey(kPlayerReportingEnabledKey);
    const bool enabled = (value.isBool() || value.isNumber() || value.isString()) && value.boolValue();
    return !enabled;
}

// Rewarded video messages of the ad view.

void DZInterstitial::rewardBasedVideoAdDMSGHandlerDidReceiveStartVideoNotification(
    DZRewardBasedVideoAdDMSGHandler&) {
    if (const auto rewarded =
            std::dynamic_pointer_cast<DZInterstitialRewardBasedVideoAdDelegate>(delegate()))
        rewarded->interstitialDidStartPlayingRewardBasedVideoAd(*this);
}

void DZInterstitial::didReceiveRewardNotificationWithRewardItem(
    DZRewardBasedVideoAdDMSGHandler&, const std::shared_ptr<DZAdReward>& item) {
    const auto rewarded =
        std::dynamic_pointer_cast<DZInterstitialRewardBasedVideoAdDelegate>(delegate());
    if (!rewarded) return;
    const auto& adReward = slot_ && slot_->ad() ? slot_->ad()->reward() : nullptr;
    rewarded->didRewardUserWithReward(*this, adReward ? adReward : item);
}

}  // namespace ads
