#include "ads/presentation/banner/DZBannerView.h"

#include <cxxabi.h>

#include <cmath>
#include <cstdlib>
#include <typeinfo>

#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZAdType.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/foundation/DZAdExposureMonitor.h"
#include "ads/foundation/DZBufferedSawmillLogger.h"
#include "ads/foundation/DZGeometry.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZLoggingHierarchy.h"
#include "ads/foundation/DZSawmillEvent.h"
#include "ads/foundation/DZSawmillLogger.h"
#include "ads/foundation/DZThreading.h"
#include "ads/mediation/core/DZMAdNetworkConnectorBanner.h"
#include "ads/native/DZAdConfiguration.h"
#include "ads/presentation/DZAdSizeDelegate.h"
#include "ads/presentation/banner/DZBannerViewDelegate.h"
#include "ads/video/DZVideoController.h"
#include "ads/video/DZVideoOptions.h"
#include "ads/web/intercept/DZAdURLStash.h"
#include "ads/web/view/DZAdView.h"
#include "core/NotificationCenter.h"
#include "core/UserDefaults.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

namespace ads {

namespace {

// The class name of a view as its code names it, without namespaces.
std::string classNameOf(const ui::View& view) {
    if (const auto* banner = dynamic_cast<const DZBannerView*>(&view)) return banner->className();
    const char* mangled = typeid(view).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : mangled;
    std::free(demangled);
    if (const auto colon = name.rfind("::"); colon != std::string::npos)
        name = name.substr(colon + 2);
    return name;
}

// Half away from zero, as the size comparison of setAdSize rounds.
double rounded(double value) {
    return std::round(value);
}

}  // namespace

// The slot's delegate on the banner's behalf: the slot's geometry questions
// share names with the view's own, so they are answered here.
class DZBannerView::SlotOwner : public DZSlotDelegate {
public:
    explicit SlotOwner(std::weak_ptr<DZBannerView> banner) : banner_(std::move(banner)) {}

    DZSlotDelegateKind slotDelegateKind() const override { return DZSlotDelegateKind::banner; }
    std::optional<bool> shouldLoadRequest(DZSlot&, const std::shared_ptr<DZRequest>&,
                                          std::optional<Error>* error) override {
        const auto banner = banner_.lock();
        return banner ? std::optional<bool>(banner->shouldLoadRequest(error)) : std::nullopt;
    }
    std::optional<bool> slotShouldReloadCurrentRequest(DZSlot&) override {
        const auto banner = banner_.lock();
        return banner ? std::optional<bool>(banner->shouldReloadCurrentRequest()) : std::nullopt;
    }
    std::optional<gfx::Rect> frame() const override {
        const auto banner = banner_.lock();
        return banner ? std::optional<gfx::Rect>(banner->frame()) : std::nullopt;
    }
    std::optional<gfx::Rect> frameInInterface() const override {
        const auto banner = banner_.lock();
        return banner ? std::optional<gfx::Rect>(banner->frameInInterface()) : std::nullopt;
    }
    std::optional<gfx::Rect> bounds() const override {
        const auto banner = banner_.lock();
        return banner ? std::optional<gfx::Rect>(banner->bounds()) : std::nullopt;
    }
    std::shared_ptr<ui::ViewController> rootViewController() const override {
        const auto banner = banner_.lock();
        return banner ? banner->rootViewController() : nullptr;
    }
    void didReceiveAdView(DZSlot&, const std::shared_ptr<ui::View>& view) override {
        if (const auto banner = banner_.lock()) banner->didReceiveAdView(view);
    }
    void contentSizeDidChange(DZSlot&, gfx::Size size) override {
        if (const auto banner = banner_.lock()) banner->contentSizeDidChange(size);
    }
    bool takesAdSizeChanges() const override { return true; }
    void setAdSize(const DZAdSize& adSize, bool reload) override {
        if (const auto banner = banner_.lock()) banner->setAdSize(adSize, reload);
    }
    void layoutSubviewsIfNeeded() override {
        if (const auto banner = banner_.lock()) banner->layoutSubviewsIfNeeded();
    }
    std::optional<DZAdSize> adSize() const override {
        const auto banner = banner_.lock();
        return banner ? std::optional<DZAdSize>(banner->adSize()) : std::nullopt;
    }
    bool shouldChangeAudioSessionCategoryTo(DZSlot&, const std::string& category) override {
        const auto banner = banner_.lock();
        return !banner || banner->shouldChangeAudioSessionCategoryTo(category);
    }
    bool slotShouldPreemptInProgressRequest(DZSlot& slot) override {
        const auto banner = banner_.lock();
        return banner && banner->slotShouldPreemptInProgressRequest(slot);
    }
    void willLoadAdWithRequest(DZSlot& slot, const std::shared_ptr<DZRequest>& request) override {
        if (const auto banner = banner_.lock()) banner->slotWillLoadAdWithRequest(slot, request);
    }
    void willResizeToAdSize(DZSlot& slot, const DZAdSize& adSize) override {
        if (const auto banner = banner_.lock()) banner->slotWillResizeToAdSize(slot, adSize);
    }
    std::optional<std::vector<DZBoxedValue>> validAdSizes() const override {
        const auto banner = banner_.lock();
        return banner ? banner->slotValidAdSizes() : std::nullopt;
    }
    bool receivesAppEvents() const override {
        const auto banner = banner_.lock();
        return banner && banner->receivesAppEvents();
    }
    void didReceiveAppEvent(DZSlot& slot, const std::string& name,
                            const std::optional<std::string>& info) override {
        if (const auto banner = banner_.lock()) banner->slotDidReceiveAppEvent(slot, name, info);
    }
    bool notifyPublisherToRenderCustomRenderingAd(DZSlot& slot, const std::shared_ptr<DZAd>& ad,
                                                  std::optional<Error>* error) override {
        const auto banner = banner_.lock();
        return banner && banner->slotNotifyPublisherToRenderCustomRenderingAd(slot, ad, error);
    }

private:
    const std::weak_ptr<DZBannerView> banner_;
};

DZBannerView::DZBannerView(Token, const gfx::Rect& frame) : ui::View(frame) {}

std::shared_ptr<DZBannerView> DZBannerView::create(const gfx::Rect& frame, const DZAdSize& adSize) {
    return make<DZBannerView>(frame, adSize);
}

std::shared_ptr<DZBannerView> DZBannerView::createWithAdSize(const DZAdSize& adSize) {
    return create(gfx::Rect{}, adSize);
}

std::shared_ptr<DZBannerView> DZBannerView::createWithAdSize(const DZAdSize& adSize,
                                                             gfx::Point origin) {
    auto view = createWithAdSize(adSize);
    if (view) view->setFrame({origin, view->frame().size});
    return view;
}

std::shared_ptr<DZBannerView> DZBannerView::create(const gfx::Rect& frame) {
    return create(frame, DZAdSizeMatchKnownSize(frame.size));
}

bool DZBannerView::commonInitWithAdSize(const DZAdSize& adSize) {
    bufferedLogger_ = DZBufferedSawmillLogger::create();
    slot_ = DZSlot::create(bounds());
    if (!slot_) return false;
    const auto self = std::static_pointer_cast<DZBannerView>(shared_from_this());
    slotOwner_ = std::make_shared<SlotOwner>(self);
    slot_->setReloadable(true);
    slot_->setSlotDelegate(slotOwner_);
    slot_->setAdEventDelegate(std::static_pointer_cast<DZSlotAdEventDelegate>(self));
    slot_->setAdLoadDelegate(std::static_pointer_cast<DZSlotAdLoadDelegate>(self));
    slot_->setAdResponseDelegate(std::static_pointer_cast<DZSlotAdResponseDelegate>(self));
    slot_->setAdKeyDelegate(std::static_pointer_cast<DZSlotAdKeyDelegate>(self));
    if (slot_->adView()) slot_->adView()->configureAsBannerAdView();
    slot_->setPlacement(loggingObject());
    videoController_ = std::make_shared<DZVideoController>();
    rootAdView_ = slot_->adView();
    if (rootAdView_) {
        rootAdView_->setAutoresizingMask(0);
        addSubview(rootAdView_);
    }
    setBackgroundColor(gfx::Color{0, 0, 0, 0});
    setClipsToBounds(true);
    lockQueue_ = core::Queue::serial(kLockQueueLabel);
    hasInitialized_ = true;

    // The banner joins its slot's event log and hears when that log changes.
    const auto hierarchy = DZLoggingHierarchy::sharedInstance();
    hierarchy->linkObject(slot_, {loggingObject()});
    const auto root = hierarchy->rootObjectForObject(loggingObject());
    const std::weak_ptr<DZBannerView> weak = self;
    core::NotificationCenter::defaultCenter().addObserver(
        std::weak_ptr<void>(std::static_pointer_cast<void>(self)),
        std::string(DZLoggingHierarchyRootObjectLoggerDidChangeNotification), root.get(),
        [weak](const core::Notification&) {
            if (const auto banner = weak.lock()) banner->rootObjectLoggerChanged();
        });

    setAdSize(adSize, false);
    return true;
}

DZBannerView::~DZBannerView() {
    if (adExposureMonitor_) adExposureMonitor_->finishMonitoring();
    if (slot_) {
        slot_->finishLiveViewReporting();
        slot_->cancelPendingAndFutureActions();
    }
    core::NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
    DZLoggingHierarchy::sharedInstance()->removeObject(
        static_cast<const void*>(static_cast<const DZBannerView*>(this)));
}

std::shared_ptr<const void> DZBannerView::loggingObject() const {
    return std::static_pointer_cast<const DZBannerView>(shared_from_this());
}

// Loading.

void DZBannerView::loadRequest(const std::shared_ptr<DZRequest>& request) {
    const gfx::Size size = bounds().size;
    if (bufferedLogger_)
        bufferedLogger_->bufferEvent(DZSawmillEvent(
            kEventName,
            core::Dictionary{
                {"loading_started", core::Dictionary{{"size", DZDictionaryWithSize(size)}}}}));
    if (!slot_) return;
    const auto copy = request ? request->copy() : nullptr;
    if (copy)
        copy->setAdConfigurationParameters(
            adConfiguration_
                ? std::optional<core::Dictionary>(adConfiguration_->requestParameters())
                : std::nullopt);
    slot_->loadRequest(copy);
}

core::Dictionary
DZBannerView::requestParametersForRequest(const std::shared_ptr<DZRequest>& request) {
    return slot_ ? slot_->requestParametersForRequest(request) : core::Dictionary();
}

// Properties.

void DZBannerView::setAdUnitID(std::optional<std::string> adUnitID) {
    adUnitID_ = std::move(adUnitID);
    if (!slot_) return;
    slot_->setAdUnitID(adUnitID_);
    if (adExposureMonitor_) adExposureMonitor_->finishMonitoring();
    if (!isMediated_)
        adExposureMonitor_ = DZAdExposureMonitor::create(shared_from_this(), slot_->adUnitID());
    if (adExposureMonitor_) adExposureMonitor_->startMonitoring();
}

void DZBannerView::setRootViewController(const std::shared_ptr<ui::ViewController>& controller) {
    if (rootViewController_.lock() == controller &&
        !(controller == nullptr && !rootViewController_.expired()))
        return;
    rootViewController_ = controller;
    if (const auto view = adView()) view->setViewController(controller);
    if (const auto banner = std::dynamic_pointer_cast<DZBannerView>(rootAdView_))
        banner->setRootViewController(controller);
}

DZAdSize DZBannerView::adSize() const {
    const auto& type = slot_ ? slot_->adType() : nullptr;
    return type ? type->adSize() : DZAdSize{{0, 0}, 0};
}

void DZBannerView::setAdSize(const DZAdSize& requested) {
    const DZAdSize current = adSize();
    DZAdSize next = requested;
    const double currentWidth = rounded(current.size.width);
    const double currentHeight = rounded(current.size.height);
    const double nextWidth = rounded(next.size.width);
    const double nextHeight = rounded(next.size.height);
    const bool changed = currentWidth != nextWidth || currentHeight != nextHeight;
    if (DZAdSizeIsFluid(next) && next.size.width == 0 && next.size.height == 0)
        next = DZAdSizeFluidWithCGSize(bounds().standardized().size);
    bool reload = false;
    if (changed && !DZAdSizeIsFluid(next))
        reload = true;
    else
        reload = (nextWidth == 0 || nextHeight == 0) && current.flags != next.flags;
    setAdSize(next, reload);
}

void DZBannerView::setAdSize(const DZAdSize& adSize, bool reload) {
    if (!hasInitialized_) return;
    if (DZAdSizesEqual(adSize, this->adSize())) return;
    Error error;
    if (!DZAdSizeValidate(adSize, &error)) {
        DZLogger::sharedInstance().logPublicMessage(
            core::format("Unable to set adSize property. %@", error.message));
        return;
    }
    if (const auto view = adView()) view->setIsFluidAdView(DZAdSizeIsFluid(adSize));
    setAdSizeAndReloadWasCalled_ = true;
    setFrame({frame().origin, DZAdSizeResolvedCGSize(adSize)});
    slot_->setAdType(DZAdType::bannerAdTypeForSize(adSize), reload);
    if (rootAdView_) rootAdView_->setNeedsLayout();
}

void DZBannerView::setAutoloadEnabled(bool enabled) {
    const bool turnedOn = enabled && !autoloadEnabled_;
    autoloadEnabled_ = enabled;
    if (!turnedOn) return;
    const std::weak_ptr<DZBannerView> weak =
        std::static_pointer_cast<DZBannerView>(shared_from_this());
    core::Queue::main()->async([weak] {
        if (const auto banner = weak.lock()) banner->loadRequest(nullptr);
    });
}

void DZBannerView::setAdOptions(const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options) {
    adConfiguration_ = std::make_shared<DZAdConfiguration>(options);
}

std::optional<std::string> DZBannerView::adNetworkClassName() const {
    return slot_ ? slot_->adNetworkClassName() : std::nullopt;
}

bool DZBannerView::hasAutoRefreshed() const {
    return slot_ && slot_->hasAutoRefreshed();
}

std::shared_ptr<ui::View> DZBannerView::mediatedAdView() const {
    return slot_ && slot_->isMediating() ? rootAdView_ : nullptr;
}

std::shared_ptr<DZAdView> DZBannerView::adView() const {
    return slot_ ? slot_->adView() : nullptr;
}

std::optional<core::Dictionary> DZBannerView::bannerKey() const {
    std::optional<core::Dictionary> key;
    if (!lockQueue_) return key;
    lockQueue_->sync([&] { key = bannerKey_; });
    return key;
}

void DZBannerView::setBannerKey(std::optional<core::Dictionary> key) {
    if (!lockQueue_) return;
    const std::weak_ptr<DZBannerView> weak =
        std::static_pointer_cast<DZBannerView>(shared_from_this());
    lockQueue_->async([weak, key = std::move(key)] {
        if (const auto banner = weak.lock()) banner->bannerKey_ = key;
    });
}

void DZBannerView::setRootAdView(const std::shared_ptr<ui::View>& view) {
    if (view == rootAdView_) return;
    if (rootAdView_) rootAdView_->removeFromSuperview();
    rootAdView_ = view;
    if (!view) return;
    if (std::dynamic_pointer_cast<DZAdView>(view)) view->setAutoresizingMask(0);
    addSubview(view);
}

// Video.

void DZBannerView::resetVideoController() {
    // A fluid search banner shows a page of its own and has no video.
    if (!videoController_) return;
    std::shared_ptr<DZVideoControlling> internal;
    if (const auto view = std::dynamic_pointer_cast<DZAdView>(rootAdView_))
        internal = view->videoController();
    else if (const auto banner = std::dynamic_pointer_cast<DZBannerView>(rootAdView_))
        internal = banner->videoController();
    videoController_->setInternalVideoController(std::move(internal));
    processAdOptions();
}

void DZBannerView::processAdOptions() {
    if (!videoController_) return;
    videoController_->setInitialStateWithVideoOptions(videoOptions());
}

const DZVideoOptions* DZBannerView::videoOptions() const {
    if (!adConfiguration_ || !adConfiguration_->options()) return nullptr;
    for (const auto& option : *adConfiguration_->options())
        if (const auto* video = dynamic_cast<const DZVideoOptions*>(option.get())) return video;
    return nullptr;
}

// Geometry.

void DZBannerView::setFrame(const gfx::Rect& frame) {
    if (!setAdSizeAndReloadWasCalled_ && hasInitialized_ &&
        frame.size != DZAdSizeResolvedCGSize(adSize())) {
        setAdSizeFromExternalCGSize(frame.size);
        return;
    }
    ui::View::setFrame(frame);
    layoutAdView();
    setAdSizeAndReloadWasCalled_ = false;
}

void DZBannerView::setBounds(const gfx::Rect& bounds) {
    ui::View::setBounds(bounds);
    setAdSizeFromExternalCGSize(bounds.size);
}

void DZBannerView::setAdSizeFromExternalCGSize(gfx::Size size) {
    const DZAdSize current = adSize();
    if (DZAdSizeIsFluid(current))
        setAdSize(DZAdSizeFluidWithCGSize({size.width, current.size.height}));
    else
        setAdSize(DZAdSizeMatchKnownSize(size));
}

gfx::Size DZBannerView::intrinsicContentSize() const {
    const DZAdSize size = adSize();
    const gfx::Size resolved = DZAdSizeResolvedCGSize(size);
    return {DZAdSizeIsFluid(size) ? DZBannerView::kNoIntrinsicMetric : resolved.width,
            resolved.height};
}

void DZBannerView::contentSizeDidChange(gfx::Size size) {
    const DZAdSize current = adSize();
    if (!DZAdSizeIsFluid(current)) return;
    const DZAdSize candidate = DZAdSizeFluidWithCGSize(size);
    if (DZAdSizesEqual(candidate, current)) return;
    const auto self = std::static_pointer_cast<DZBannerView>(shared_from_this());
    if (const auto sizeDelegate = adSizeDelegate())
        sizeDelegate->willChangeAdSizeTo(*self, candidate);
    setAdSize(candidate);
}

void DZBannerView::layoutSubviews() {
    ui::View::layoutSubviews();
    layoutAdView();
}

void DZBannerView::layoutSubviewsIfNeeded() {
    layoutAdView();
}

void DZBannerView::layoutAdView() {
    const auto view = std::dynamic_pointer_cast<DZAdView>(rootAdView_);
    if (!view) return;
    const gfx::Size responseSize = view->adResponseSize();
    if (responseSize.width == 0 && responseSize.height == 0) {
        view->setFrame(bounds().standardized());
        return;
    }
    const gfx::Rect own = bounds();
    view->setFrame({{own.origin.x + (own.size.width - responseSize.width) / 2,
                     own.origin.y + (own.size.height - responseSize.height) / 2},
                    responseSize});
}

gfx::Rect DZBannerView::frameInInterface() const {
    const auto window = this->window();
    if (!window) return {};
    return DZOrientedScreenBounds(convertRectTo(bounds(), window.get()));
}

void DZBannerView::setAlpha(double alpha) {
    ui::View::setAlpha(alpha == 0 ? 0.0 : 1.0);
}

void DZBannerView::didMoveToWindow() {
    ui::View::didMoveToWindow();
    if (slot_) slot_->ownerViewDidMoveToWindow(window());
}

// Gates.

bool DZBannerView::shouldLoadRequest(std::optional<Error>* error) {
    std::optional<std::string> message;
    Error sizeError;
    if (!DZAdSizeValidate(adSize(), &sizeError))
        message =
            core::format("You must set a valid ad size for the banner before loading a request. %@",
                         sizeError.message);
    else if (!rootViewController())
        message = core::format(
            "You must set the rootViewController property of %@ before loading a request.",
            className());
    if (!message) return true;
    DZLogger::sharedInstance().logPublicMessage(*message);
    if (error) *error = DZErrorWithCodeDescription(kDZErrorInvalidRequest, *message);
    return false;
}

bool DZBannerView::shouldReloadCurrentRequest() {
    if (!hasLoadedAd_) return true;
    const auto application = DZApplication::sharedInstance();
    if (!application->backgroundReloadingEnabled() && !application->active()) return false;
    for (auto view = rootAdView_; view; view = view->superview()) {
        if (view->isHidden()) return false;
        if (std::dynamic_pointer_cast<ui::Window>(view)) return true;
    }
    return false;
}

bool DZBannerView::shouldChangeAudioSessionCategoryTo(const std::string& category) {
    const auto delegate = this->delegate();
    if (!delegate) return true;
    const auto self = std::static_pointer_cast<DZBannerView>(shared_from_this());
    return delegate->shouldChangeAudioSessionToCategory(*self, category).value_or(true);
}

// Completion.

void DZBannerView::slotFinishedLoadingAdContent(DZSlot&) {
    logEvent(DZSawmillFlagEvent(kEventName, "loading_succeeded"));
    resetVideoController();
    const std::weak_ptr<DZBannerView> weak =
        std::static_pointer_cast<DZBannerView>(shared_from_this());
    DZRunOnMainThread([weak] {
        const auto banner = weak.lock();
        if (!banner) return;
        if (const auto view = banner->adView(); view && view == banner->rootAdView_)
            DZAdURLStash::sharedInstance()->adViewDidFinishLayout(view);
        if (const auto delegate = banner->delegate()) delegate->adViewDidReceiveAd(*banner);
        banner->hasLoadedAd_ = true;
    });
}

void DZBannerView::didFailToLoadAdContentWithError(DZSlot&, const Error& error) {
    if (videoController_) videoController_->setInternalVideoController(nullptr);
    logEvent(DZSawmillEvent(kEventName,
                            core::Dictionary{{"loading_failed", DZSawmillErrorParameters(error)}}));
    const std::weak_ptr<DZBannerView> weak =
        std::static_pointer_cast<DZBannerView>(shared_from_this());
    DZRunOnMainThread([weak, error] {
        const auto banner = weak.lock();
        if (!banner) return;
        if (const auto delegate = banner->delegate())
            delegate->didFailToReceiveAdWithError(*banner, DZRequestErrorFromError(error));
        banner->slot_->scheduleAdReloadTimer();
    });
}

namespace {

template <typename Call>
void tellDelegate(const std::shared_ptr<DZBannerView>& banner, Call call) {
    const std::weak_ptr<DZBannerView> weak = banner;
    DZRunOnMainThread([weak, call] {
        const auto view = weak.lock();
        if (!view) return;
        if (const auto delegate = view->delegate()) call(*delegate, *view);
    });
}

}  // namespace

void DZBannerView::slotWillPresentScreen(DZSlot&) {
    tellDelegate(std::static_pointer_cast<DZBannerView>(shared_from_this()),
                 [](DZBannerViewDelegate& delegate, DZBannerView& view) {
                     delegate.adViewWillPresentScreen(view);
                 });
}

void DZBannerView::slotWillDismissScreen(DZSlot&) {
    tellDelegate(std::static_pointer_cast<DZBannerView>(shared_from_this()),
                 [](DZBannerViewDelegate& delegate, DZBannerView& view) {
                     delegate.adViewWillDismissScreen(view);
                 });
}

void DZBannerView::slotDidDismissScreen(DZSlot&) {
    tellDelegate(std::static_pointer_cast<DZBannerView>(shared_from_this()),
                 [](DZBannerViewDelegate& delegate, DZBannerView& view) {
                     delegate.adViewDidDismissScreen(view);
                 });
}

void DZBannerView::slotWillLeaveApplication(DZSlot&) {
    tellDelegate(std::static_pointer_cast<DZBannerView>(shared_from_this()),
                 [](DZBannerViewDelegate& delegate, DZBannerView& view) {
                     delegate.adViewWillLeaveApplication(view);
                 });
}

bool DZBannerView::shouldProcessAdResponse(DZSlot&, const std::shared_ptr<DZAd>&,
                                           std::optional<Error>*) {
    return true;
}

void DZBannerView::willProcessMediatedAdResponse(DZSlot&, const std::shared_ptr<DZAd>& ad) {
    if (ad)
        ad->setMediationDelegate(std::static_pointer_cast<DZAdMediationDelegate>(
            std::static_pointer_cast<DZBannerView>(shared_from_this())));
}

std::shared_ptr<DZMAdNetworkConnector>
DZBannerView::mediationConnectorForConfiguration(const std::shared_ptr<DZMConfig>& configuration,
                                                 const std::shared_ptr<DZMAdNetworkConfig>& network) {
    return DZMAdNetworkConnectorBanner::create(configuration, network);
}

// The ad key.

void DZBannerView::cacheViewHierarchyInformationForSlot(DZSlot&) {
    const auto defaults = core::UserDefaults::standard();
    const core::Value stored = defaults->objectForKey(kParentViewCountKey);
    const std::int64_t limit = stored.isNull() ? kDefaultParentViewCount : stored.intValue();
    core::Array parents;
    std::shared_ptr<const ui::View> child = shared_from_this();
    for (auto parent = superview(); parent && std::int64_t(parents.size()) < limit;
         parent = parent->superview()) {
        std::int64_t index = 0;
        const auto& siblings = parent->subviews();
        for (size_t i = 0; i < siblings.size(); ++i)
            if (siblings[i] == child) index = std::int64_t(i);
        parents.push_back(core::Dictionary{{"type", classNameOf(*parent)},
                                           {"index_of_child", index},
                                           {"is_hidden", parent->isHidden()},
                                           {"clips_to_bounds", parent->clipsToBounds()}});
        child = parent;
    }
    core::Dictionary hierarchy{{"creator_class", className()}, {"parents", std::move(parents)}};
    const std::weak_ptr<DZBannerView> weak =
        std::static_pointer_cast<DZBannerView>(shared_from_this());
    lockQueue_->async([weak, hierarchy = std::move(hierarchy)] {
        if (const auto banner = weak.lock()) banner->viewHierarchy_ = hierarchy;
    });
}

std::optional<core::Dictionary> DZBannerView::viewHierarchyInformationForSlot(DZSlot&) {
    std::optional<core::Dictionary> hierarchy;
    lockQueue_->sync([&] { hierarchy = viewHierarchy_; });
    return hierarchy;
}

// Event logging.

void DZBannerView::logEvent(const std::optional<core::Dictionary>& event) const {
    if (const auto logger = logger_.lock()) logger->reportEvent(event);
}

void DZBannerView::rootObjectLoggerChanged() {
    const auto logger = DZLoggingHierarchy::sharedInstance()->loggerForObject(loggingObject());
    if (logger == logger_.lock()) return;
    logger_ = logger;
    if (!logger) return;
    logger->reportEvent(
        DZSawmillEvent(kEventName, core::Dictionary{{"ad_unit_id", adUnitID_.value_or("")},
                                                    {"class", className()}}));
    if (bufferedLogger_) bufferedLogger_->reportBufferedEventsToLogger(*logger);
}

}  // namespace ads
