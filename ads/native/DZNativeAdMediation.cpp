// DZNativeAd: ads around a network's mediated native ad, the connector of
// native networks, and the network's announcements about its ad.

#include <mutex>
#include <thread>

#include "ads/core/request/DZNativeAdViewAdOptions.h"
#include "ads/foundation/DZThreading.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMediatedNativeAd.h"
#include "ads/mediation/core/DZMediatedNativeAdNotificationSource.h"
#include "ads/mediation/native/DZMAdNetworkConnectorNativeAd.h"
#include "ads/native/DZNativeAd.h"
#include "ads/native/DZNativeAdDelegate.h"

namespace ads {

std::shared_ptr<DZMAdNetworkConnector> DZLoadableClass::mediationConnectorForConfiguration(
    const std::shared_ptr<DZMConfig>& configuration,
    const std::shared_ptr<DZMAdNetworkConfig>& network) const {
    return DZNativeAd::mediationConnectorForConfiguration(configuration, network);
}

std::shared_ptr<DZMAdNetworkConnector>
DZNativeAd::mediationConnectorForConfiguration(const std::shared_ptr<DZMConfig>& configuration,
                                               const std::shared_ptr<DZMAdNetworkConfig>& network) {
    if (!network || network->responseType() != "native") return nullptr;
    return DZMAdNetworkConnectorNativeAd::create(configuration, network);
}

DZNativeAd::DZNativeAd(std::shared_ptr<DZMediatedNativeAd> mediatedAd, const Options& options)
    : lockQueue_(DZCreateQueueWithQoS(DZQueueLabel("native-ad"), DZQoSDefault)) {
    if (const auto found = options.find(DZNativeAdViewAdOptions::kClassName);
        found != options.end()) {
        if (const auto* view = dynamic_cast<const DZNativeAdViewAdOptions*>(found->second.get()))
            attributionCorner_ = view->preferredAdChoicesPosition();
    }
    setMediatedNativeAd(std::move(mediatedAd));
}

void DZNativeAd::setMediatedNativeAd(std::shared_ptr<DZMediatedNativeAd> mediatedAd) {
    stopObservingMediatedAd();
    mediatedNativeAd_ = std::move(mediatedAd);
    if (!mediatedNativeAd_) return;
    if (const auto& name = mediatedNativeAd_->adNetworkClassName()) adNetworkClassName_ = *name;
    if (const auto& ad = mediatedNativeAd_->ad()) extraAssets_ = ad->extraAssets();
    observeMediatedAd();
}

// The ad as its observer blocks know it. Observing may start in the
// constructor, before a shared pointer owns the ad: until the ad is bound
// (by its maker once it is owned, or by an announcement on the thread that
// made it) announcements from other threads find no ad, as nobody could
// have seen it yet. Once bound, a block holds the ad for the length of its
// announcement; an ad that has gone is never reached.
struct DZNativeAd::MediatedAdObserverAnchor {
    std::mutex mutex;
    bool bound = false;
    std::weak_ptr<DZNativeAd> ad;
    // The ad while unbound, and the thread that made it.
    DZNativeAd* unbound = nullptr;
    std::thread::id maker;

    std::shared_ptr<DZNativeAd> lock() {
        const std::lock_guard guard(mutex);
        if (!bound && unbound && std::this_thread::get_id() == maker) bindLocked();
        return bound ? ad.lock() : nullptr;
    }
    void bind() {
        const std::lock_guard guard(mutex);
        if (!bound && unbound) bindLocked();
    }
    // The ad is going or observes something else.
    void clear() {
        const std::lock_guard guard(mutex);
        bound = true;
        ad.reset();
        unbound = nullptr;
    }

private:
    void bindLocked() {
        ad = unbound->weak_from_this();
        if (ad.expired()) return;
        bound = true;
        unbound = nullptr;
    }
};

void DZNativeAd::bindMediatedAdObservers() {
    if (observerAnchor_) observerAnchor_->bind();
}

// The network's announcements come on its thread; the mediated ad's
// reports and the delegate's calls run there too.
void DZNativeAd::observeMediatedAd() {
    const auto& ad = mediatedNativeAd_ ? mediatedNativeAd_->ad() : nullptr;
    if (!ad) return;
    observedMediatedAd_ = ad.get();
    observerAnchor_ = std::make_shared<MediatedAdObserverAnchor>();
    observerAnchor_->unbound = this;
    observerAnchor_->maker = std::this_thread::get_id();
    observerAnchor_->bind();
    auto& center = core::NotificationCenter::defaultCenter();
    const auto observe = [&](const char* name, std::function<void(DZNativeAd&)> action) {
        mediatedAdObservers_.push_back(center.addObserver(
            name, observedMediatedAd_, nullptr,
            [anchor = observerAnchor_, action = std::move(action)](const core::Notification&) {
                auto self = anchor->lock();
                if (!self) return;
                action(*self);
                // The ad's last owner may have let go meanwhile: it ends
                // where it lives.
                DZReleaseOnMainThread(std::move(self));
            }));
    };
    using Source = DZMediatedNativeAdNotificationSource;
    observe(Source::kDidRecordImpressionNotification, [](DZNativeAd& self) {
        if (self.mediatedNativeAd_) self.mediatedNativeAd_->reportAdNetworkImpression();
    });
    observe(Source::kDidRecordClickNotification, [](DZNativeAd& self) {
        if (self.mediatedNativeAd_) self.mediatedNativeAd_->reportAdNetworkClick();
    });
    const auto relay = [](void (DZNativeAdDelegate::*method)(DZNativeAd&)) {
        return [method](DZNativeAd& self) {
            if (const auto delegate = self.delegate()) ((*delegate).*method)(self);
        };
    };
    observe(Source::kWillPresentScreenNotification,
            relay(&DZNativeAdDelegate::nativeAdWillPresentScreen));
    observe(Source::kWillDismissScreenNotification,
            relay(&DZNativeAdDelegate::nativeAdWillDismissScreen));
    observe(Source::kDidDismissScreenNotification,
            relay(&DZNativeAdDelegate::nativeAdDidDismissScreen));
    observe(Source::kWillLeaveApplicationNotification,
            relay(&DZNativeAdDelegate::nativeAdWillLeaveApplication));
}

void DZNativeAd::stopObservingMediatedAd() {
    if (observerAnchor_) observerAnchor_->clear();
    observerAnchor_.reset();
    auto& center = core::NotificationCenter::defaultCenter();
    for (const auto& token : mediatedAdObservers_) center.removeObserver(token);
    mediatedAdObservers_.clear();
    observedMediatedAd_ = nullptr;
}

void DZNativeAd::relayTrackedViewToMediatedAd(const std::shared_ptr<ui::View>& view) {
    if (mediatedNativeAd_)
        mediatedNativeAd_->reportMediatedAdRenderedInView(view, rootViewController());
}

void DZNativeAd::relayUnloadedViewToMediatedAd(const std::shared_ptr<ui::View>& view) {
    if (mediatedNativeAd_) mediatedNativeAd_->reportMediatedAdShouldUntrackView(view);
}

void DZNativeAd::nativeAdViewPolicyDidBeginTrackingView(DZNativeAdViewPolicy&,
                                                        const std::shared_ptr<ui::View>& view) {
    relayTrackedViewToMediatedAd(view);
}

void DZNativeAd::nativeAdViewPolicyDidUnloadNativeAd(DZNativeAdViewPolicy&,
                                                     const std::shared_ptr<DZNativeAd>&,
                                                     const std::shared_ptr<ui::View>& view) {
    relayUnloadedViewToMediatedAd(view);
}

}  // namespace ads
