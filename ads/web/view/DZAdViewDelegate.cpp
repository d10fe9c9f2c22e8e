#include "ads/web/view/DZAdViewDelegate.h"

#include <algorithm>

#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZQueryParameters.h"
#include "ads/foundation/DZThreading.h"
#include "ads/foundation/DZURLUtilities.h"
#include "ads/presentation/DZOpener.h"
#include "ads/web/dmsg/DZDMSGHandler.h"
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

// The handlers of ad pages, in the order they are asked; the message
// handlers of later pieces join here in their places.
DZAdViewDelegate::DZAdViewDelegate() : opener_(std::make_shared<DZOpener>()) {
    addDMSGHandler(std::make_shared<DZVideoPlayerDMSGHandler>());
    addDMSGHandler(std::make_shared<DZVideoMetadataDMSGHandler>());
    addDMSGHandler(std::make_shared<DZGCacheDMSGHandler>());
}

DZAdViewDelegate::~DZAdViewDelegate() {
    opener_->setViewController({});
    opener_->setAdView({});
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
    // Clicks on http(s) links leave the page through the slot, which ad
    // views of this build do not have yet: such navigations load.
    return true;
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
