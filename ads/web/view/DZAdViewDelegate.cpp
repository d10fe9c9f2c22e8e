#include "ads/web/view/DZAdViewDelegate.h"

#include <algorithm>

#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZClock.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZQueryParameters.h"
#include "ads/foundation/DZThreading.h"
#include "ads/foundation/DZURLUtilities.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/web/dmsg/DZAdRefreshDMSGHandler.h"
#include "ads/web/dmsg/DZAnalyticsDMSGHandler.h"
#include "ads/web/dmsg/DZCSIDMSGHandler.h"
#include "ads/web/dmsg/DZDMSGHandler.h"
#include "ads/web/dmsg/DZDefaultDMSGHandler.h"
#include "ads/web/dmsg/DZDelayPageCloseDMSGHandler.h"
#include "ads/web/dmsg/DZMRAIDDMSGHandler.h"
#include "ads/web/dmsg/DZNativeAdVideoClickDMSGHandler.h"
#include "ads/web/dmsg/DZOpenerDMSGHandler.h"
#include "ads/web/dmsg/DZOrientationDMSGHandler.h"
#include "ads/web/dmsg/DZRewardBasedVideoAdDMSGHandler.h"
#include "ads/web/dmsg/DZLiveViewDMSGHandler.h"
#include "ads/web/dmsg/DZGCacheDMSGHandler.h"
#include "ads/web/dmsg/DZVideoMetadataDMSGHandler.h"
#include "ads/web/dmsg/DZVideoPlayerDMSGHandler.h"
#include "ads/web/intercept/DZAdURLStash.h"
#include "ads/web/net/DZClickTrackerCollection.h"
#include "ads/web/view/DZAdView.h"
#include "ads/web/view/DZNotification.h"
#include "core/NotificationCenter.h"
#include "core/Queue.h"
#include "core/UserDefaults.h"
#include "ui/Application.h"

namespace ads {

namespace {

// One queue for every router, so that messages keep their order on the way
// to the main queue.
std::shared_ptr<core::Queue> routingQueue() {
    static const auto queue = core::Queue::serial("com.dozuza.vuraz.dmsg-routing");
    return queue;
}

bool isReposted(std::string_view name) {
    const auto& names = DZAdViewDelegate::kRepostedMessageNames;
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::vector<core::URL> URLsOf(const std::optional<std::vector<std::string>>& texts) {
    std::vector<core::URL> urls;
    if (texts)
        for (const auto& text : *texts)
            if (auto url = core::URL::create(text)) urls.push_back(std::move(*url));
    return urls;
}

}  // namespace

// The handlers of ad pages, in the order they are asked; the gcache handler
// joins between the native video clicks and the analytics events.
DZAdViewDelegate::DZAdViewDelegate() : opener_(std::make_shared<DZOpener>()) {
    addDMSGHandler(std::make_shared<DZLiveViewDMSGHandler>());
    addDMSGHandler(std::make_shared<DZOpenerDMSGHandler>(opener_));
    addDMSGHandler(std::make_shared<DZDefaultDMSGHandler>());
    addDMSGHandler(std::make_shared<DZMRAIDDMSGHandler>(opener_));
    addDMSGHandler(std::make_shared<DZVideoPlayerDMSGHandler>());
    addDMSGHandler(std::make_shared<DZRewardBasedVideoAdDMSGHandler>());
    addDMSGHandler(std::make_shared<DZOrientationDMSGHandler>());
    addDMSGHandler(std::make_shared<DZVideoMetadataDMSGHandler>());
    addDMSGHandler(std::make_shared<DZAdRefreshDMSGHandler>(opener_));
    addDMSGHandler(std::make_shared<DZNativeAdVideoClickDMSGHandler>());
    addDMSGHandler(std::make_shared<DZGCacheDMSGHandler>());
    addDMSGHandler(std::make_shared<DZAnalyticsDMSGHandler>());
    addDMSGHandler(std::make_shared<DZDelayPageCloseDMSGHandler>());
    auto instrumentation = std::make_shared<DZCSIDMSGHandler>();
    instrumentation->setCSIDelegate(weakSelfAs<DZCSIDMSGHandlerDelegate>(this));
    addDMSGHandler(std::move(instrumentation));
}

DZAdViewDelegate::~DZAdViewDelegate() {
    opener_->setViewController({});
    opener_->setAdViewSlot({});
    opener_->setAdView({});
}

std::shared_ptr<DZAdViewSlot> DZAdViewDelegate::adViewSlot() {
    return opener_->adViewSlot();
}

void DZAdViewDelegate::addDMSGHandler(std::shared_ptr<DZDMSGHandler> handler) {
    if (handler) handlers_.push_back(std::move(handler));
}

void DZAdViewDelegate::handleDMSGURL(const core::URL& url,
                                     const std::shared_ptr<DZAdView>& adView) {
    auto handlers = handlers_;
    // Views are let go of on the main thread only: off it, the ad view is
    // held weakly.
    std::weak_ptr<DZAdView> weakAdView = adView;
    std::weak_ptr<DZAdViewDelegate> weakSelf = weak_from_this();
    routingQueue()->async([url, weakAdView, handlers = std::move(handlers), weakSelf]() mutable {
        auto notification = DZNotification::create(url);
        if (!notification) return;
        core::Queue::main()->async(
            [notification, weakAdView, handlers = std::move(handlers), weakSelf] {
                if (const auto self = weakSelf.lock())
                    self->routeOnMainQueue(notification, weakAdView.lock(), handlers);
            });
    });
}

void DZAdViewDelegate::routeOnMainQueue(
    const std::shared_ptr<const DZNotification>& notification,
    const std::shared_ptr<DZAdView>& adView,
    const std::vector<std::shared_ptr<DZDMSGHandler>>& handlers) {
    for (const auto& handler : handlers)
        if (handler->handleNotification(notification, adView)) return;
    if (!isReposted(notification->name())) return;
    core::Queue::main()->async([notification, adView] {
        core::NotificationCenter::defaultCenter().post(notification->name(), adView.get(),
                                                       notification->parameters());
    });
}

bool DZAdViewDelegate::shouldStartLoadWithRequest(DZAdView& adView, const core::URLRequest& request,
                                                  long navigationType) {
    const bool load = adViewDelegateShouldStartLoadWithRequest(adView, request, navigationType);
    if (load)
        DZAdURLStash::sharedInstance()->willLoadURLRequest(
            std::static_pointer_cast<DZAdView>(adView.shared_from_this()), request);
    return load;
}

bool DZAdViewDelegate::adViewDelegateShouldStartLoadWithRequest(DZAdView& adView,
                                                                const core::URLRequest& request,
                                                                long navigationType) {
    const core::URL& url = request.url();
    if (url.absoluteString().empty()) return false;
    const auto adViewPointer = std::static_pointer_cast<DZAdView>(adView.shared_from_this());
    opener_->setNavigationRequest(request);
    opener_->setViewController(adView.viewController());
    opener_->setAdView(adViewPointer);
    // Whether a person started this navigation decides, for the opener,
    // whether it may leave the app; it holds for this decision only.
    struct GestureScope {
        DZOpener& opener;
        std::optional<bool> outer;
        ~GestureScope() { opener.setNavigationUserGesture(outer); }
    } gestureScope{*opener_, opener_->navigationUserGesture()};
    opener_->setNavigationUserGesture(adView.navigationUserGesture());

    if (url.hasScheme("file")) return false;
    constexpr long kLinkClicked = 0;
    if (navigationType == kLinkClicked && url.fragment() &&
        DZURLStringWithoutFragment(url) == DZURLStringWithoutFragment(adView.URL()))
        return false;
    if (DZNotification::isNotificationURL(url)) {
        handleDMSGURL(url, adViewPointer);
        return false;
    }
    if (url.hasScheme("mailto")) {
        opener_->openEmailComposer(url);
        return false;
    }
    if (url.hasScheme("sms")) {
        opener_->openSmsComposer(url);
        return false;
    }
    if (url.hasScheme("deeplink+")) {
        const auto defaults = core::UserDefaults::standard();
        const bool disabled = !defaults->objectForKey(kDeeplinkPlusEnabledKey).isNull() &&
                              !defaults->boolForKey(kDeeplinkPlusEnabledKey);
        if (!disabled) {
            handleDeeplinkPlusURL(url);
            return false;
        }
    }
    if (url.hasScheme("about")) return true;
    if (!url.hasScheme("http") && !url.hasScheme("https")) {
        opener_->openApp(url);
        return false;
    }
    if (handlesClicks() && adView.hasLoadedAtLeastOnce() &&
        shouldTreatNavigationTypeAsClick(navigationType)) {
        // A frame's own navigation loads there when the server says so.
        const auto& mainDocument = request.mainDocumentURL();
        if (core::UserDefaults::standard()->boolForKey(kHandleIframeNavigationKey) &&
            mainDocument && mainDocument->absoluteString() != url.absoluteString())
            return true;
        opener_->setReferringURL(adView.URL());
        // The opener counts the click once it opens.
        opener_->openApp(opener_->slot()->gestureClickURLWithURL(url));
        return false;
    }
    return true;
}

bool DZAdViewDelegate::shouldTreatNavigationTypeAsClick(long navigationType) const {
    constexpr long kBackForward = 2;
    constexpr long kReload = 3;
    const auto slot = opener_->slot();
    if (!slot) return false;
    switch (slot->state()) {
    case DZSlot::kIdle:
    case DZSlot::kRequestingAdURL:
    case DZSlot::kReceivedAdURL:
    case DZSlot::kFetching:
    case DZSlot::kValidAd:
    case DZSlot::kFailed:
        break;
    default:
        return false;
    }
    if (navigationType == kBackForward || navigationType == kReload) return false;
    const std::uint64_t sinceLoad =
        DZMonotonicMilliseconds() - static_cast<std::uint64_t>(slot->timeLastLoaded());
    if (static_cast<double>(sinceLoad) / 1000.0 < kMinimumClickDelay) return false;
    const auto clickable = clickableAdView(*slot);
    return clickable && clickable->touched();
}

std::shared_ptr<DZAdView> DZAdViewDelegate::clickableAdView(const DZSlot& slot) const {
    return slot.adView();
}

void DZAdViewDelegate::handleDeeplinkPlusURL(const core::URL& url) {
    if (url.host() != "navigate") return;
    const auto primaryText = DZQueryValueForKey(url, "primaryUrl");
    const auto primary = primaryText ? core::URL::create(*primaryText) : std::nullopt;
    if (!primary) return;
    const auto fallbackText = DZQueryValueForKey(url, "fallbackUrl");
    const auto fallback = fallbackText ? core::URL::create(*fallbackText) : std::nullopt;

    const core::Dictionary answers = DZDevice::sharedInstance()->canOpenURLs({*primaryText});
    const bool usePrimary = answers[*primaryText].boolValue();
    const auto chosen = usePrimary ? primary : fallback;
    const auto trackers =
        URLsOf(DZQueryValuesForKey(url, usePrimary ? "primaryTrackingUrl" : "fallbackTrackingUrl"));
    if (!trackers.empty()) DZClickTrackerCollection::sharedInstance()->trackURLs(trackers);
    if (chosen) opener_->openApp(*chosen);
}

void DZAdViewDelegate::adViewDidFinishLoad(DZAdView& adView) {
    adView.forceRotateHTMLToOrientation(ui::Application::shared().statusBarOrientation());
    hasLoadedAtLeastOnce_ = true;
}

void DZAdViewDelegate::didMoveToPlacement(DZAdView&, const std::shared_ptr<const void>&) {
    std::weak_ptr<DZAdViewDelegate> weakSelf = weak_from_this();
    DZRunOnMainThread([weakSelf] {
        const auto self = weakSelf.lock();
        if (!self) return;
        for (const auto& handler : self->handlers_) handler->flushBuffer();
    });
}

}  // namespace ads
