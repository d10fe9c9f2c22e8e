#include "ads/presentation/banner/DZNativeExpressAdView.h"

#include "ads/core/request/DZRequest.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZLayoutConstraints.h"
#include "ads/foundation/DZLoggingHierarchy.h"
#include "ads/foundation/DZSawmillEvent.h"
#include "ads/foundation/DZSawmillLogger.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/native/DZMAdNetworkConnectorNativeExpressAd.h"
#include "ads/native/DZAdConfiguration.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "core/NotificationCenter.h"

namespace ads {

std::shared_ptr<DZNativeExpressAdView>
DZNativeExpressAdView::make(const gfx::Rect& frame, const std::shared_ptr<DZBannerView>& banner) {
    if (!banner) return nullptr;
    auto view = std::make_shared<DZNativeExpressAdView>(Token{}, frame);
    view->commonInitWithBannerView(banner);
    return view;
}

std::shared_ptr<DZNativeExpressAdView> DZNativeExpressAdView::create(const gfx::Rect& frame,
                                                                     const DZAdSize& adSize) {
    return make(frame, DZBannerView::create(frame, adSize));
}

std::shared_ptr<DZNativeExpressAdView>
DZNativeExpressAdView::createWithAdSize(const DZAdSize& adSize) {
    return create(gfx::Rect{}, adSize);
}

std::shared_ptr<DZNativeExpressAdView>
DZNativeExpressAdView::createWithAdSize(const DZAdSize& adSize, gfx::Point origin) {
    auto view = createWithAdSize(adSize);
    if (view) view->setFrame({origin, view->frame().size});
    return view;
}

std::shared_ptr<DZNativeExpressAdView> DZNativeExpressAdView::create(const gfx::Rect& frame) {
    return create(frame, DZAdSizeMatchKnownSize(frame.size));
}

void DZNativeExpressAdView::commonInitWithBannerView(const std::shared_ptr<DZBannerView>& banner) {
    const auto self = std::static_pointer_cast<DZNativeExpressAdView>(shared_from_this());
    // This view shares the banner's event log.
    const auto hierarchy = DZLoggingHierarchy::sharedInstance();
    hierarchy->linkObject(banner, {loggingObject()});
    const auto root = hierarchy->rootObjectForObject(loggingObject());
    const std::weak_ptr<DZNativeExpressAdView> weak = self;
    core::NotificationCenter::defaultCenter().addObserver(
        std::weak_ptr<void>(std::static_pointer_cast<void>(self)),
        std::string(DZLoggingHierarchyRootObjectLoggerDidChangeNotification), root.get(),
        [weak](const core::Notification&) {
            if (const auto view = weak.lock()) view->rootObjectLoggerChanged();
        });

    setFrame(banner->frame());
    setBackgroundColor(gfx::Color{0, 0, 0, 0});
    setClipsToBounds(true);

    bannerView_ = banner;
    banner->setDelegate(std::static_pointer_cast<DZBannerViewDelegate>(self));
    if (banner->slot())
        banner->slot()->setAdResponseDelegate(
            std::static_pointer_cast<DZSlotAdResponseDelegate>(self));

    addSubview(banner);
    DZConstrainViewToFillSuperview(banner.get());
}

DZNativeExpressAdView::~DZNativeExpressAdView() {
    core::NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
    DZLoggingHierarchy::sharedInstance()->removeObject(
        static_cast<const void*>(static_cast<const DZNativeExpressAdView*>(this)));
}

std::shared_ptr<const void> DZNativeExpressAdView::loggingObject() const {
    return std::static_pointer_cast<const DZNativeExpressAdView>(shared_from_this());
}

void DZNativeExpressAdView::rootObjectLoggerChanged() {
    const auto logger = DZLoggingHierarchy::sharedInstance()->loggerForObject(loggingObject());
    if (!logger) return;
    logger->reportEvent(
        DZSawmillEvent(kEventName, core::Dictionary{{"ad_unit_id", adUnitID().value_or("")}}));
}

// Loading and forwarded properties.

void DZNativeExpressAdView::loadRequest(const std::shared_ptr<DZRequest>& request) {
    const auto copy = request ? request->copy() : std::make_shared<DZRequest>();
    copy->setNativeExpressEnabled(true);
    bannerView_->loadRequest(copy);
}

const std::optional<std::string>& DZNativeExpressAdView::adUnitID() const {
    return bannerView_->adUnitID();
}

void DZNativeExpressAdView::setAdUnitID(std::optional<std::string> adUnitID) {
    bannerView_->setAdUnitID(std::move(adUnitID));
}

std::shared_ptr<ui::ViewController> DZNativeExpressAdView::rootViewController() const {
    return bannerView_->rootViewController();
}

void DZNativeExpressAdView::setRootViewController(
    const std::shared_ptr<ui::ViewController>& controller) {
    bannerView_->setRootViewController(controller);
}

DZAdSize DZNativeExpressAdView::adSize() const {
    return bannerView_->adSize();
}

void DZNativeExpressAdView::setAdSize(const DZAdSize& adSize) {
    bannerView_->setAdSize(adSize);
}

bool DZNativeExpressAdView::isAutoloadEnabled() const {
    return bannerView_->isAutoloadEnabled();
}

void DZNativeExpressAdView::setAutoloadEnabled(bool enabled) {
    bannerView_->setAutoloadEnabled(enabled);
}

std::optional<std::string> DZNativeExpressAdView::adNetworkClassName() const {
    return bannerView_->adNetworkClassName();
}

const std::shared_ptr<DZVideoController>& DZNativeExpressAdView::videoController() const {
    return bannerView_->videoController();
}

void DZNativeExpressAdView::setAdOptions(
    const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options) {
    bannerView_->setAdOptions(options);
}

gfx::Size DZNativeExpressAdView::intrinsicContentSize() const {
    return bannerView_->intrinsicContentSize();
}

// Banner events.

void DZNativeExpressAdView::adViewDidReceiveAd(DZBannerView&) {
    if (const auto delegate = this->delegate()) delegate->nativeExpressAdViewDidReceiveAd(*this);
}

void DZNativeExpressAdView::didFailToReceiveAdWithError(DZBannerView&,
                                                        const DZRequestError& error) {
    if (const auto delegate = this->delegate()) delegate->didFailToReceiveAdWithError(*this, error);
}

void DZNativeExpressAdView::adViewWillPresentScreen(DZBannerView&) {
    if (const auto delegate = this->delegate())
        delegate->nativeExpressAdViewWillPresentScreen(*this);
}

void DZNativeExpressAdView::adViewWillDismissScreen(DZBannerView&) {
    if (const auto delegate = this->delegate())
        delegate->nativeExpressAdViewWillDismissScreen(*this);
}

void DZNativeExpressAdView::adViewDidDismissScreen(DZBannerView&) {
    if (const auto delegate = this->delegate())
        delegate->nativeExpressAdViewDidDismissScreen(*this);
}

void DZNativeExpressAdView::adViewWillLeaveApplication(DZBannerView&) {
    if (const auto delegate = this->delegate())
        delegate->nativeExpressAdViewWillLeaveApplication(*this);
}

// Slot and mediation.

bool DZNativeExpressAdView::shouldProcessAdResponse(DZSlot&, const std::shared_ptr<DZAd>&,
                                                    std::optional<Error>*) {
    return true;
}

void DZNativeExpressAdView::willProcessMediatedAdResponse(DZSlot&,
                                                          const std::shared_ptr<DZAd>& ad) {
    if (ad)
        ad->setMediationDelegate(std::static_pointer_cast<DZAdMediationDelegate>(
            std::static_pointer_cast<DZNativeExpressAdView>(shared_from_this())));
}

std::shared_ptr<DZMAdNetworkConnector> DZNativeExpressAdView::mediationConnectorForConfiguration(
    const std::shared_ptr<DZMConfig>& configuration,
    const std::shared_ptr<DZMAdNetworkConfig>& network) {
    return DZMAdNetworkConnectorNativeExpressAd::create(configuration, network);
}

std::optional<std::shared_ptr<DZAdLoaderConfiguration>>
DZNativeExpressAdView::adLoaderConfigurationForAd(
    const std::shared_ptr<DZAd>&, const std::shared_ptr<DZMAdNetworkConfig>& network) {
    if (!network) return std::nullopt;
    return DZNativeExpressAdLoaderConfiguration(*network);
}

}  // namespace ads
