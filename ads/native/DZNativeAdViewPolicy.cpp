#include "ads/native/DZNativeAdViewPolicy.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <typeinfo>

#include "ads/core/app/DZApplication.h"
#include "ads/core/click/DZClickSignal.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/core/sdkcore/DZSDKCoreWebView.h"
#include "ads/foundation/DZAdExposureMonitor.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/native/DZAdChoicesView.h"
#include "ads/native/DZMediaContentDisplaying.h"
#include "ads/native/DZMediaView.h"
#include "ads/native/DZNativeAd.h"
#include "ads/native/DZNativeAdAttributionView.h"
#include "ads/native/DZNativeAdTapGestureRecognizer.h"
#include "ads/native/DZNativeAdViewPolicyDelegate.h"
#include "ads/native/DZOverlayView.h"
#include "ads/native/DZOverlayViewSource.h"
#include "ads/native/DZPushTransitionView.h"
#include "ads/video/DZVideoController.h"
#include "ads/web/dmsg/DZNativeAdVideoClickDMSGHandler.h"
#include "core/Queue.h"
#include "core/StringFormat.h"
#include "core/UserDefaults.h"
#include "ui/Application.h"
#include "ui/ImageView.h"
#include "ui/ScrollView.h"
#include "ui/Window.h"

namespace ads {

namespace {

// "<ClassName: 0x...; frame = (x y; w h)>", for the log.
std::string viewDescription(const ui::View& view) {
    const char* mangled = typeid(view).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : mangled;
    std::free(demangled);
    if (const auto colons = name.rfind("::"); colons != std::string::npos)
        name = name.substr(colons + 2);
    const gfx::Rect& frame = view.frame();
    return core::format(
        "<%@: %p; frame = (%@ %@; %@ %@)>", name, static_cast<const void*>(&view),
        DZCompactDecimalString(frame.origin.x), DZCompactDecimalString(frame.origin.y),
        DZCompactDecimalString(frame.size.width), DZCompactDecimalString(frame.size.height));
}

core::Dictionary rectDictionary(const gfx::Rect& rect, const char* relativeTo) {
    core::Dictionary dictionary{{"x", rect.origin.x},
                                {"y", rect.origin.y},
                                {"width", rect.size.width},
                                {"height", rect.size.height}};
    if (relativeTo) dictionary.set("relative_to", relativeTo);
    return dictionary;
}

core::Dictionary sizeDictionary(gfx::Size size) {
    return {{"width", size.width}, {"height", size.height}};
}

// 0xRRGGBBAA, each component clamped to 0...1 and times 255.
std::int64_t colorNumber(const gfx::Color& color) {
    const auto component = [](double value) {
        return static_cast<std::uint32_t>(std::clamp(value, 0.0, 1.0) * 255.0);
    };
    const std::uint32_t rgba = component(color.red) << 24 | component(color.green) << 16 |
                               component(color.blue) << 8 | component(color.alpha);
    return static_cast<std::int64_t>(rgba);
}

// The view's frame in the coordinates of another view.
gfx::Rect frameInView(const ui::View& view, const ui::View* target) {
    const auto superview = view.superview();
    if (!superview) return view.frame();
    return superview->convertRectTo(view.frame(), target);
}

// The user interaction an asset view must have: on for a media view, off
// for every other one.
void correctUserInteraction(const std::shared_ptr<ui::View>& view) {
    if (!view) return;
    if (std::dynamic_pointer_cast<DZMediaView>(view)) {
        if (view->isUserInteractionEnabled()) return;
        view->setUserInteractionEnabled(true);
        DZLogger::sharedInstance().logPublicMessage(core::format(
            DZNativeAdViewPolicy::kMediaViewInteractionMessage, viewDescription(*view)));
        return;
    }
    if (!view->isUserInteractionEnabled()) return;
    view->setUserInteractionEnabled(false);
    DZLogger::sharedInstance().logPublicMessage(
        core::format(DZNativeAdViewPolicy::kAssetViewInteractionMessage, viewDescription(*view)));
}

}  // namespace

std::shared_ptr<DZNativeAdViewPolicy>
DZNativeAdViewPolicy::create(const std::shared_ptr<ui::View>& adView,
                             const std::optional<std::string>& attributionIconAssetName,
                             const std::optional<std::string>& attributionTextAssetName,
                             const std::optional<std::string>& backgroundAssetName,
                             bool isAdViewOwnedByPublisher) {
    if (!adView || !attributionIconAssetName || !attributionTextAssetName || !backgroundAssetName)
        return nullptr;
    auto policy = std::make_shared<DZNativeAdViewPolicy>(
        Token{}, adView, *attributionIconAssetName, *attributionTextAssetName, *backgroundAssetName,
        isAdViewOwnedByPublisher);
    policy->addUserInteraction();
    return policy;
}

DZNativeAdViewPolicy::DZNativeAdViewPolicy(Token, const std::shared_ptr<ui::View>& adView,
                                           std::string attributionIconAssetName,
                                           std::string attributionTextAssetName,
                                           std::string backgroundAssetName,
                                           bool isAdViewOwnedByPublisher)
    : adView_(adView), attributionIconAssetName_(std::move(attributionIconAssetName)),
      attributionTextAssetName_(std::move(attributionTextAssetName)),
      backgroundAssetName_(std::move(backgroundAssetName)),
      isAdViewOwnedByPublisher_(isAdViewOwnedByPublisher) {}

DZNativeAdViewPolicy::~DZNativeAdViewPolicy() {
    finishAdExposureMonitor();
    finishLiveViewReporting();
    stopObservingVideoClickNotifications();
    if (impressionMonitor_) {
        impressionMonitor_->setDelegate({});
        impressionMonitor_->stopMonitoring();
    }
}

std::shared_ptr<DZNativeAdTapGestureRecognizer> DZNativeAdViewPolicy::singleTap() const {
    return singleTap_.lock();
}

std::shared_ptr<ui::GestureRecognizer> DZNativeAdViewPolicy::touchGestureRecognizer() const {
    return touchGestureRecognizer_.lock();
}

std::shared_ptr<DZSDKCoreController> DZNativeAdViewPolicy::SDKCoreController() const {
    return SDKCoreController_ ? SDKCoreController_ : DZSDKCoreController::sharedInstance();
}

// User interaction.

void DZNativeAdViewPolicy::addUserInteraction() {
    const auto adView = adView_.lock();
    if (!adView) return;
    const auto recognizers = adView->gestureRecognizers();
    for (const auto& recognizer : recognizers) {
        const auto tap = std::dynamic_pointer_cast<DZNativeAdTapGestureRecognizer>(recognizer);
        if (!tap) continue;
        if (const auto previous = tap->nativeAdViewPolicy()) previous->unregisterAdView();
        break;
    }
    adView->setUserInteractionEnabled(true);

    const std::weak_ptr<DZNativeAdViewPolicy> weak = weak_from_this();
    const auto self = shared_from_this();
    auto tap = std::make_shared<DZNativeAdTapGestureRecognizer>([weak](ui::GestureRecognizer& r) {
        if (const auto policy = weak.lock()) policy->handleTap(r);
    });
    tap->setNativeAdViewPolicy(self);
    tap->setDelegate(std::static_pointer_cast<ui::GestureRecognizerDelegate>(self));
    auto touch = std::make_shared<DZGestureRecognizer>();
    touch->setDelegate(std::static_pointer_cast<ui::GestureRecognizerDelegate>(self));
    singleTap_ = tap;
    touchGestureRecognizer_ = touch;
    adView->addGestureRecognizer(tap);
    adView->addGestureRecognizer(touch);
}

bool DZNativeAdViewPolicy::shouldRecognizeSimultaneouslyWithGestureRecognizer(
    const ui::GestureRecognizer& recognizer, const ui::GestureRecognizer& other) {
    const auto flag = core::UserDefaults::standard()->stringForKey(kIndiscriminateRecognitionKey);
    if (flag && core::Value(*flag).boolValue()) return true;
    const auto adView = adView_.lock();
    return adView && recognizer.view() == adView.get() && other.view() == adView.get();
}

// Asset views.

void DZNativeAdViewPolicy::mapAssetView(const std::shared_ptr<ui::View>& view,
                                        const std::string& name) {
    unmapAssetView(view.get());
    assetViewAssetNames_.push_back(AssetEntry{view, view.get(), name});
}

void DZNativeAdViewPolicy::unmapAssetView(const ui::View* view) {
    std::erase_if(assetViewAssetNames_, [view](const AssetEntry& entry) {
        return entry.address == view || entry.view.expired();
    });
}

void DZNativeAdViewPolicy::setAssetViews(const AssetViews& assetViews) {
    assetViewAssetNames_.clear();
    weakAdChoicesViewFromPublisher_.reset();
    adChoicesContentView_.reset();
    for (const auto& [name, view] : assetViews) {
        if (!view) continue;
        correctUserInteraction(view);
        if (DZIsAdChoicesViewAssetName(name)) weakAdChoicesViewFromPublisher_ = view;
        mapAssetView(view, name);
    }
}

void DZNativeAdViewPolicy::replaceAssetWithName(const std::string& name,
                                                const std::shared_ptr<ui::View>& view,
                                                std::weak_ptr<ui::View>* weakReferencePointer) {
    if (!weakReferencePointer) return;
    const auto old = weakReferencePointer->lock();
    if (old == view) return;
    correctUserInteraction(view);
    *weakReferencePointer = view;
    if (old) unmapAssetView(old.get());
    if (view) mapAssetView(view, name);
    if (DZIsAdChoicesViewAssetName(name)) weakAdChoicesViewFromPublisher_ = view;
}

std::vector<std::pair<std::shared_ptr<ui::View>, std::string>>
DZNativeAdViewPolicy::assetViewAssetNames() const {
    std::vector<std::pair<std::shared_ptr<ui::View>, std::string>> views;
    for (const AssetEntry& entry : assetViewAssetNames_)
        if (auto view = entry.view.lock()) views.emplace_back(std::move(view), entry.name);
    return views;
}

std::optional<std::string> DZNativeAdViewPolicy::assetNameForView(const ui::View* view) const {
    for (const AssetEntry& entry : assetViewAssetNames_)
        if (entry.address == view && !entry.view.expired()) return entry.name;
    return std::nullopt;
}

// Binding.

void DZNativeAdViewPolicy::setNativeAd(const std::shared_ptr<DZNativeAd>& nativeAd) {
    if (nativeAd == nativeAd_) return;
    const auto keep = shared_from_this();
    const auto adView = adView_.lock();
    if (nativeAd_) {
        if (const auto delegate = delegate_.lock())
            delegate->nativeAdViewPolicyDidUnloadNativeAd(*this, nativeAd_, adView);
    }
    nativeAd_ = nativeAd;
    adChoicesViewCorner_ = nativeAd_ ? nativeAd_->attributionCorner() : kTopRight;
    if (!isAdViewOwnedByPublisher_) {
        updateAdChoicesView();
        updateOverlay();
        orderViews();
    }
    beginObservingVideoClickNotifications();
    finishAdExposureMonitor();
    finishLiveViewReporting();
    if (nativeAd_) {
        adExposureMonitor_ = DZAdExposureMonitor::create(adView, nativeAd_->adUnitID());
        if (adExposureMonitor_) adExposureMonitor_->startMonitoring();
    }
    core::Queue::main()->async([weak = weak_from_this()] {
        if (const auto self = weak.lock()) self->handleImpressionTracking();
    });
}

void DZNativeAdViewPolicy::finishAdExposureMonitor() {
    if (const auto monitor = std::move(adExposureMonitor_)) monitor->finishMonitoring();
}

// AdChoices and overlay.

void DZNativeAdViewPolicy::updateAdChoicesView() {
    if (adChoicesContentView_) adChoicesContentView_->removeFromSuperview();
    adChoicesContentView_ = nativeAd_ ? nativeAd_->adChoicesContentView() : nullptr;
    if (!adChoicesContentView_) return;
    const auto container = weakAdChoicesViewFromPublisher_.lock();
    if (container && nativeAd_->publisherRenderAdChoicesAllowed()) {
        if (const auto choices = std::dynamic_pointer_cast<DZAdChoicesView>(container)) {
            choices->setAdChoicesContentView(adChoicesContentView_);
            return;
        }
    }
    const auto adView = adView_.lock();
    if (!adView) return;
    adChoicesContentView_->setTranslatesAutoresizingMaskIntoConstraints(false);
    adView->addSubview(adChoicesContentView_);
    updateAdChoicesViewConstraints();
}

void DZNativeAdViewPolicy::updateAdChoicesViewConstraints() {
    for (const auto& constraint : adChoicesViewConstraints_)
        if (const auto holder = constraint->holder()) holder->removeConstraint(constraint.get());
    adChoicesViewConstraints_.clear();
    const auto adView = adView_.lock();
    if (!adView || !adChoicesContentView_) return;
    using ui::LayoutAttribute;
    std::optional<std::pair<LayoutAttribute, LayoutAttribute>> edges;
    switch (adChoicesViewCorner_) {
    case kTopRight:
        edges = {LayoutAttribute::Top, LayoutAttribute::Right};
        break;
    case kTopLeft:
        edges = {LayoutAttribute::Top, LayoutAttribute::Left};
        break;
    case kBottomRight:
        edges = {LayoutAttribute::Bottom, LayoutAttribute::Right};
        break;
    case kBottomLeft:
        edges = {LayoutAttribute::Bottom, LayoutAttribute::Left};
        break;
    default:
        return;
    }
    for (const LayoutAttribute attribute : {edges->first, edges->second})
        adChoicesViewConstraints_.push_back(adView->addConstraint(
            ui::LayoutConstraint(adChoicesContentView_, attribute, adView, attribute, 1.0, 0.0)));
}

void DZNativeAdViewPolicy::updateAdChoicesContentView() {
    if (!isAdViewOwnedByPublisher_ || adChoicesContentView_) return;
    const auto container = weakAdChoicesViewFromPublisher_.lock();
    if (!container) return;
    for (const auto& subview : container->subviews()) {
        if (std::dynamic_pointer_cast<DZNativeAdAttributionView>(subview)) {
            adChoicesContentView_ = subview;
            return;
        }
    }
}

void DZNativeAdViewPolicy::updateOverlay() {
    const auto* source = dynamic_cast<const DZOverlayViewSource*>(nativeAd_.get());
    const auto overlay = source ? source->overlayView() : nullptr;
    const auto current = overlayView_.lock();
    if (overlay == current) return;
    if (current) current->removeFromSuperview();
    overlayView_ = overlay;
    const auto adView = adView_.lock();
    if (!overlay || !adView) return;
    adView->addSubview(overlay);
    overlay->setTranslatesAutoresizingMaskIntoConstraints(false);
    using ui::LayoutAttribute;
    for (const LayoutAttribute attribute : {LayoutAttribute::Top, LayoutAttribute::Bottom,
                                            LayoutAttribute::Left, LayoutAttribute::Right})
        adView->addConstraint(ui::LayoutConstraint(overlay, attribute, adView, attribute));
}

bool DZNativeAdViewPolicy::sdkRendersAdChoicesView() const {
    const auto adView = adView_.lock();
    return adView && adChoicesContentView_ && adChoicesContentView_->superview() == adView;
}

void DZNativeAdViewPolicy::orderViews() {
    const auto adView = adView_.lock();
    if (!adView) return;
    const auto& subviews = adView->subviews();
    const ui::View* last = subviews.size() >= 2 ? subviews.back().get() : nullptr;
    const ui::View* beforeLast =
        subviews.size() >= 2 ? subviews[subviews.size() - 2].get() : nullptr;
    const auto overlay = overlayView_.lock();
    if (sdkRendersAdChoicesView()) {
        const bool ordered =
            overlay ? last == overlay.get() && beforeLast == adChoicesContentView_.get()
                    : last == adChoicesContentView_.get();
        if (ordered) return;
        adView->bringSubviewToFront(adChoicesContentView_.get());
        if (overlay) adView->bringSubviewToFront(overlay.get());
        return;
    }
    if (overlay && (subviews.empty() || subviews.back() != overlay))
        adView->bringSubviewToFront(overlay.get());
}

// Clicks.

bool DZNativeAdViewPolicy::adHasVideo() const {
    if (!nativeAd_) return false;
    const auto controller = nativeAd_->videoController();
    return controller && controller->hasVideoContent();
}

void DZNativeAdViewPolicy::handleTap(ui::GestureRecognizer& recognizer) {
    if (!nativeAd_ || nativeAd_->publisherClickReportingAllowed()) return;
    const auto adView = adView_.lock();
    if (!adView) return;
    const auto keep = shared_from_this();
    const gfx::Point location = recognizer.locationInView(adView.get());
    updateAdChoicesContentView();

    std::shared_ptr<ui::View> tapped;
    std::optional<std::string> name;
    const auto& choices = adChoicesContentView_;
    if (choices && !choices->isHidden() &&
        choices->convertRectTo(choices->bounds(), adView.get()).contains(location)) {
        if (const auto attribution =
                std::dynamic_pointer_cast<DZNativeAdAttributionView>(choices)) {
            const gfx::Point inBadge = attribution->convertPointFrom(location, adView.get());
            const auto icon = attribution->iconView();
            if (icon && icon->frame().contains(inBadge)) {
                tapped = icon;
                name = attributionIconAssetName_;
            } else {
                tapped = attribution->textView();
                name = attributionTextAssetName_;
            }
        }
    }
    if (!name) {
        for (const auto& [view, assetName] : assetViewAssetNames()) {
            if (DZIsAdChoicesViewAssetName(assetName) || view->isHidden()) continue;
            if (!view->superview()) continue;
            if (!frameInView(*view, adView.get()).contains(location)) continue;
            tapped = view;
            name = assetName;
            break;
        }
    }
    if (!name) {
        tapped = adView;
        name = backgroundAssetName_;
    }
    if (DZIsMediaViewAssetName(*name) && adHasVideo()) return;
    nativeAd_->performClickOnView(tapped, name,
                                  tapHandlingEnvironmentWithTapLocation(location, name));
}

void DZNativeAdViewPolicy::stopObservingVideoClickNotifications() {
    if (videoClickObserver_)
        core::NotificationCenter::defaultCenter().removeObserver(videoClickObserver_);
    videoClickObserver_ = {};
}

void DZNativeAdViewPolicy::beginObservingVideoClickNotifications() {
    stopObservingVideoClickNotifications();
    if (!adHasVideo()) return;
    const auto content = nativeAd_->mediaContent();
    const auto mediaView = content ? content->mediaView() : nullptr;
    if (!mediaView) return;
    videoClickObserver_ = core::NotificationCenter::defaultCenter().addObserver(
        DZNativeAdVideoClickDMSGHandler::kVideoClickNotification, mediaView.get(), nullptr,
        [weak = weak_from_this()](const core::Notification& notification) {
            if (const auto self = weak.lock()) self->handleVideoClickNotification(notification);
        });
}

void DZNativeAdViewPolicy::handleVideoClickNotification(const core::Notification& notification) {
    if (!nativeAd_) return;
    for (const auto& [view, name] : assetViewAssetNames()) {
        if (!DZIsMediaViewAssetName(name)) continue;
        const core::Value& userInfo = notification.userInfo;
        const gfx::Point touch{DZNumericValue(userInfo["touchX"]).value_or(0),
                               DZNumericValue(userInfo["touchY"]).value_or(0)};
        const gfx::Point point = view->convertPointTo(touch, nullptr);
        nativeAd_->performClickOnView(view, name,
                                      tapHandlingEnvironmentWithTapLocation(point, name));
        return;
    }
}

// Signal dictionaries.

core::Dictionary DZNativeAdViewPolicy::tapHandlingEnvironmentWithTapLocation(
    gfx::Point location, const std::optional<std::string>& tappedViewName) const {
    core::Dictionary environment = nativeAdSignalDictionary();
    core::Dictionary clickSignal;
    if (tappedViewName) clickSignal.set("asset_id", *tappedViewName);
    clickSignal.set(
        "click_point",
        core::Dictionary{{"x", location.x}, {"y", location.y}, {"relative_to", "ad_view"}});
    environment.set("click_signal", std::move(clickSignal));
    return environment;
}

core::Dictionary DZNativeAdViewPolicy::nativeAdSignalDictionary() const {
    const auto adView = adView_.lock();
    core::Dictionary signals;
    if (!adView) return signals;

    const gfx::Rect adFrame = adView->superview()
                                  ? adView->superview()->convertRectTo(adView->frame(), nullptr)
                                  : adView->frame();
    signals.set("ad_view_signal", core::Dictionary{{"frame", rectDictionary(adFrame, "window")}});

    core::Dictionary assets;
    const auto merge = [&](const core::Dictionary& entry) {
        for (const auto& [key, value] : entry) assets.set(key, value);
    };
    for (const auto& [view, name] : assetViewAssetNames()) {
        if (DZIsAdChoicesViewAssetName(name)) continue;
        merge(signalDictionaryWithAssetView(view, name, adView));
    }
    if (adChoicesContentView_ && !adChoicesContentView_->isHidden()) {
        if (const auto attribution =
                std::dynamic_pointer_cast<DZNativeAdAttributionView>(adChoicesContentView_)) {
            merge(signalDictionaryWithAssetView(attribution->iconView(), attributionIconAssetName_,
                                                adView));
            merge(signalDictionaryWithAssetView(attribution->textView(), attributionTextAssetName_,
                                                adView));
        }
    }
    signals.set("asset_view_signal", std::move(assets));

    core::Dictionary scroll{{"contained_in_scroll_view", 0}};
    for (auto ancestor = adView->superview(); ancestor; ancestor = ancestor->superview()) {
        const auto scrollView = std::dynamic_pointer_cast<ui::ScrollView>(ancestor);
        if (!scrollView) continue;
        scroll.set("contained_in_scroll_view", 1);
        scroll.set("scroll_view_size", sizeDictionary(scrollView->bounds().size));
        scroll.set("content_size", sizeDictionary(scrollView->contentSize()));
        break;
    }
    signals.set("scroll_view_signal", std::move(scroll));
    return signals;
}

core::Dictionary
DZNativeAdViewPolicy::signalDictionaryWithAssetView(const std::shared_ptr<ui::View>& view,
                                                    const std::optional<std::string>& assetName,
                                                    const std::shared_ptr<ui::View>& adView) {
    if (!view || !assetName) return {};
    core::Dictionary entry;
    const gfx::Rect frame = frameInView(*view, adView.get());
    entry.set("frame", rectDictionary(frame, "ad_view"));
    if (!std::dynamic_pointer_cast<ui::ImageView>(view) &&
        !std::dynamic_pointer_cast<DZMediaView>(view)) {
        if (const auto color = view->backgroundColor())
            entry.set("background_color", colorNumber(*color));
    }
    const gfx::Rect visible = view->visibleRect();
    if (visible.isEmpty())  // no width or no height on screen
        entry.set("visible_bounds",
                  rectDictionary({frame.origin.x, frame.origin.y, 0, 0}, "ad_view"));
    else
        entry.set("visible_bounds", rectDictionary(visible, "self"));
    const ui::DisplayedText shown = view->displayedText();
    if (shown.font) entry.set("font_size", DZCompactDecimalString(shown.font->size));
    if (shown.textColor) entry.set("text_color", colorNumber(*shown.textColor));
    if (shown.text) entry.set("text", *shown.text);
    return core::Dictionary{{*assetName, std::move(entry)}};
}

// Impressions.

void DZNativeAdViewPolicy::handleImpressionTracking() {
    if (!nativeAd_ || nativeAd_->publisherImpressionReportingAllowed()) return;
    const auto adView = adView_.lock();
    if (!adView) return;
    if (!adView->superview() && !isAdViewOwnedByPublisher_) return;
    const auto keep = shared_from_this();
    if (!nativeAd_->hasRecordedImpression()) checkForImpression();
    if (const auto delegate = delegate_.lock())
        delegate->nativeAdViewPolicyDidBeginTrackingView(*this, adView);
}

void DZNativeAdViewPolicy::checkForImpression() {
    const auto adView = adView_.lock();
    if (!adView) return;
    if (!adView->visibleRect().isEmpty()) {
        recordImpression();
        return;
    }
    if (impressionMonitor_) return;
    impressionMonitor_ =
        DZImpressionMonitor::create(adView, DZImpressionMonitor::kImpressionDefinitionVisible);
    impressionMonitor_->setDelegate(
        std::static_pointer_cast<DZImpressionMonitorDelegate>(shared_from_this()));
    impressionMonitor_->startMonitoring();
}

void DZNativeAdViewPolicy::impressionMonitorDidMonitorImpression(DZImpressionMonitor& monitor) {
    if (&monitor != impressionMonitor_.get()) return;
    recordImpression();
}

void DZNativeAdViewPolicy::stopImpressionMonitoring() {
    if (const auto monitor = std::move(impressionMonitor_)) {
        monitor->setDelegate({});
        monitor->stopMonitoring();
    }
}

void DZNativeAdViewPolicy::recordImpression() {
    stopImpressionMonitoring();
    if (!nativeAd_) return;
    if (!nativeAd_->hasRecordedImpression())
        nativeAd_->recordImpressionWithEnvironment(nativeAdSignalDictionary());
    startLiveViewReportingIfEnabled();
}

// Live View.

void DZNativeAdViewPolicy::startLiveViewReportingIfEnabled() {
    if (!nativeAd_ || !nativeAd_->hasRecordedImpression() || !nativeAd_->liveViewConfigurations())
        return;
    const auto adView = adView_.lock();
    if (!adView) return;
    const auto self = shared_from_this();
    if (!liveViewMonitor_) {
        liveViewMonitor_ = DZLiveViewMonitor::create(adView, std::string(kLiveViewAdFormat),
                                                     nativeAd_->liveViewConfigurations());
        if (!liveViewMonitor_) return;
        liveViewMonitor_->setDelegate(std::static_pointer_cast<DZLiveViewMonitorDelegate>(self));
        auto& center = core::NotificationCenter::defaultCenter();
        const auto sample = [weak = weak_from_this()](const core::Notification&) {
            const auto policy = weak.lock();
            if (policy && policy->liveViewMonitor_) policy->liveViewMonitor_->sample();
        };
        willResignActiveObserver_ = center.addObserver(
            ui::Application::WillResignActiveNotification, nullptr, core::Queue::main(), sample);
        didBecomeActiveObserver_ = center.addObserver(ui::Application::DidBecomeActiveNotification,
                                                      nullptr, core::Queue::main(), sample);
    }
    if (!SDKCoreWebView_) {
        liveViewID_ = DZApplication::sharedInstance()->nextLiveViewID();
        SDKCoreWebView_ = SDKCoreController()->SDKCoreWebViewForLiveViewProcessing();
        if (SDKCoreWebView_)
            SDKCoreWebView_->setLiveViewObserver(
                std::static_pointer_cast<DZAdViewLiveViewMonitoring>(self), liveViewID_);
    }
    liveViewMonitor_->sample();
    if (adView->window()) startLiveViewMonitoring();
}

void DZNativeAdViewPolicy::startLiveViewMonitoring() {
    if (!liveViewMonitor_) return;
    liveViewMonitor_->startMonitoringWithSamplingInterval(
        SDKCoreController()->liveViewSamplingInterval());
}

void DZNativeAdViewPolicy::sendLiveViewState(bool unloaded) {
    if (!liveViewMonitor_ || !SDKCoreWebView_) return;
    const auto command = DZLiveViewMonitor::commandForLiveViewState(
        liveViewMonitor_->liveViewStateWithID(liveViewID_, false, unloaded));
    if (command) SDKCoreWebView_->enqueueJavaScriptCommand(*command);
}

void DZNativeAdViewPolicy::liveViewMonitorDidRefresh(DZLiveViewMonitor& monitor) {
    if (&monitor != liveViewMonitor_.get()) return;
    sendLiveViewState(false);
}

void DZNativeAdViewPolicy::finishLiveViewReporting() {
    if (liveViewMonitor_) {
        sendLiveViewState(true);
        auto& center = core::NotificationCenter::defaultCenter();
        center.removeObserver(willResignActiveObserver_);
        center.removeObserver(didBecomeActiveObserver_);
        willResignActiveObserver_ = {};
        didBecomeActiveObserver_ = {};
        const auto monitor = std::move(liveViewMonitor_);
        monitor->setDelegate({});
        monitor->stopMonitoring();
    }
    if (auto webView = std::move(SDKCoreWebView_)) {
        webView->removeLiveViewObserverForLiveViewID(liveViewID_);
        SDKCoreController()->finishedUsingSDKCoreWebViewForLiveViewProcessing(webView);
    }
}

void DZNativeAdViewPolicy::liveViewMonitoringDidStop(std::uint64_t receiverKind) {
    if (receiverKind == DZAdViewLiveViewMonitoring::kSDKCorePage) finishLiveViewReporting();
}

bool DZNativeAdViewPolicy::liveViewMonitoringStarted(std::uint64_t) {
    return false;
}

void DZNativeAdViewPolicy::liveViewVisibilityChanged(bool) {}

// The ad view's events.

void DZNativeAdViewPolicy::adViewDidLayoutSubviews() {
    orderViews();
    handleImpressionTracking();
    if (liveViewMonitor_) liveViewMonitor_->sample();
}

void DZNativeAdViewPolicy::adViewDidMoveToSuperview() {
    orderViews();
    handleImpressionTracking();
    if (!liveViewMonitor_) return;
    const auto adView = adView_.lock();
    if (adView && adView->window()) {
        startLiveViewMonitoring();
    } else {
        liveViewMonitor_->sample();
        liveViewMonitor_->stopMonitoring();
    }
}

void DZNativeAdViewPolicy::unregisterAdView() {
    // The tap recognizer may be the last holder of this policy.
    const auto keep = shared_from_this();
    if (const auto adView = adView_.lock()) {
        if (const auto tap = singleTap_.lock()) adView->removeGestureRecognizer(tap.get());
        if (const auto touch = touchGestureRecognizer_.lock())
            adView->removeGestureRecognizer(touch.get());
    }
    core::Queue::main()->async([self = shared_from_this()] {
        self->stopImpressionMonitoring();
        self->finishLiveViewReporting();
    });
}

void DZNativeAdViewPolicy::showMediaContent(
    const std::shared_ptr<DZNativeAdViewPolicy>& policy,
    std::function<std::shared_ptr<DZMediaView>()> currentMediaView) {
    // A video that has played to its end is no longer shown as media.
    constexpr std::int64_t kVideoPlaybackEnded = 4;
    const auto ad = policy->nativeAd();
    const auto content = ad ? ad->mediaContent() : nullptr;
    const auto controller = content ? content->videoController() : nullptr;
    if (controller && controller->hasVideoContent() &&
        controller->videoPlaybackState() != kVideoPlaybackEnded)
        ad->reportIsMediaContentRendered(currentMediaView() != nullptr);
    core::Queue::main()->async([weakPolicy = std::weak_ptr<DZNativeAdViewPolicy>(policy),
                                current = std::move(currentMediaView)] {
        const auto owner = weakPolicy.lock();
        const auto mediaView = owner ? current() : nullptr;
        if (!mediaView) return;
        const auto now = owner->nativeAd();
        mediaView->setMediaContent(now ? now->mediaContent() : nullptr);
    });
}

}  // namespace ads
