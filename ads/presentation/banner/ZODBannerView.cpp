#include "ads/presentation/banner/ZODBannerView.h"

#include "ads/core/request/DZCorrelator.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/response/ZODCustomRenderedAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZThreading.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMAdNetworkConnectorBanner.h"
#include "ads/native/DZAdLoader.h"
#include "ads/presentation/DZAdSizeDelegate.h"
#include "ads/presentation/DZAppEventDelegate.h"
#include "core/Queue.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

// The sizes a loader's delegate accepts for banners; none without such a
// delegate.
std::vector<DZBoxedValue> loaderBannerSizes(DZAdLoader& loader) {
    const auto delegate = std::dynamic_pointer_cast<ZODBannerAdLoaderDelegate>(loader.delegate());
    return delegate ? delegate->validBannerSizesForAdLoader(loader) : std::vector<DZBoxedValue>{};
}

// "320x50" for a boxed size, "fluid" for the fluid one; nullopt for a value
// that is not a usable size.
std::optional<std::string> sizeText(const DZBoxedValue& value) {
    if (value.typeEncoding != kDZAdSizeTypeEncoding) return std::nullopt;
    const DZAdSize size = DZAdSizeUnboxedValue(value);
    if (DZAdSizesEqual(size, kDZAdSizeInvalid)) return std::nullopt;
    if (DZAdSizeIsFluid(size)) return std::string("fluid");
    const gfx::Size resolved = DZAdSizeResolvedCGSize(size);
    const auto whole = [](double side) {
        return side > 0 ? static_cast<unsigned long>(side) : 0UL;
    };
    return core::format("%lux%lu", whole(resolved.width), whole(resolved.height));
}

}  // namespace

std::shared_ptr<ZODBannerView> ZODBannerView::create(const gfx::Rect& frame,
                                                     const DZAdSize& adSize) {
    return make<ZODBannerView>(frame, adSize);
}

std::shared_ptr<ZODBannerView> ZODBannerView::createWithAdSize(const DZAdSize& adSize) {
    return create(gfx::Rect{}, adSize);
}

std::shared_ptr<ZODBannerView> ZODBannerView::createWithAdSize(const DZAdSize& adSize,
                                                               gfx::Point origin) {
    auto view = createWithAdSize(adSize);
    if (view) view->setFrame({origin, view->frame().size});
    return view;
}

std::shared_ptr<ZODBannerView> ZODBannerView::create(const gfx::Rect& frame) {
    return create(frame, DZAdSizeMatchKnownSize(frame.size));
}

// Publisher operations.

void ZODBannerView::setValidAdSizesWithSizes(std::initializer_list<DZAdSize> sizes) {
    std::vector<DZBoxedValue> boxed;
    boxed.reserve(sizes.size());
    for (const DZAdSize& size : sizes) boxed.push_back(DZAdSizeBoxedValue(size));
    validAdSizes_ = std::move(boxed);
    DZMarkValidAdSizesUsed();
}

void ZODBannerView::resize(const DZAdSize& adSize) {
    setAdSize(adSize, false);
    DZMarkBannerResizeUsed();
}

void ZODBannerView::recordImpression() {
    if (slot()) slot()->pingManualTrackingURLs();
}

bool ZODBannerView::enableManualImpressions() const {
    return slot() && slot()->manualImpressionsEnabled();
}

void ZODBannerView::setEnableManualImpressions(bool enabled) {
    if (slot()) slot()->setManualImpressionsEnabled(enabled);
}

std::shared_ptr<DZCorrelator> ZODBannerView::correlator() const {
    return slot() ? slot()->correlator() : nullptr;
}

void ZODBannerView::setCorrelator(std::shared_ptr<DZCorrelator> correlator) {
    if (slot()) slot()->setCorrelator(std::move(correlator));
}

// Custom-rendered ads.

void ZODBannerView::recordClick() {
    if (slot()) slot()->pingClickURLs();
}

void ZODBannerView::recordCustomAdImpression() {
    if (!slot()) return;
    slot()->didMakeAdImpression();
    slot()->pingManualTrackingURLs();
}

void ZODBannerView::finishedRenderingAdView(const std::shared_ptr<ui::View>&) {
    if (slot()) slot()->didReceiveValidAd();
}

bool ZODBannerView::slotNotifyPublisherToRenderCustomRenderingAd(DZSlot& slot,
                                                                 const std::shared_ptr<DZAd>& ad,
                                                                 std::optional<Error>* error) {
    const auto delegate = customRenderedBannerViewDelegate();
    if (!delegate || !ad) {
        if (error)
            *error = DZErrorWithCodeDescription(
                kDZErrorInvalidArgument,
                core::format("Ignoring delegate callback. Delegate does not conform to "
                             "%@.\nBanner view: %@\nDelegate: %@",
                             "ZODCustomRenderedBannerViewDelegate",
                             core::format("<%@: %p>", className(), static_cast<const void*>(this)),
                             delegate ? core::format("%p", static_cast<const void*>(delegate.get()))
                                      : std::string("(null)")));
        return false;
    }
    std::optional<core::URL> baseURL;
    if (ad->adBaseURL()) baseURL = core::URL::create("/", *ad->adBaseURL());
    const auto self = std::static_pointer_cast<ZODBannerView>(shared_from_this());
    auto customAd = std::make_shared<ZODCustomRenderedAd>(
        ad->adHTML().value_or(""), std::move(baseURL),
        std::static_pointer_cast<ZODCustomRenderedAdEventHandler>(self));
    slot.willStartAdRendering();
    delegate->didReceiveCustomRenderedAd(*self, customAd);
    return true;
}

// Slot events.

void ZODBannerView::slotWillLoadAdWithRequest(DZSlot& slot, const std::shared_ptr<DZRequest>&) {
    const auto& correlator = slot.correlator();
    previousCorrelationID_ = correlator ? correlator->correlationID() : 0;
}

bool ZODBannerView::slotShouldPreemptInProgressRequest(DZSlot& slot) {
    const auto& correlator = slot.correlator();
    return correlator && previousCorrelationID_ != 0 &&
           correlator->correlationID() != previousCorrelationID_;
}

void ZODBannerView::slotWillResizeToAdSize(DZSlot&, const DZAdSize& adSize) {
    if (DZAdSizesEqual(adSize, this->adSize())) return;
    if (const auto delegate = adSizeDelegate()) delegate->willChangeAdSizeTo(*this, adSize);
}

void ZODBannerView::slotDidReceiveAppEvent(DZSlot&, const std::string& name,
                                           const std::optional<std::string>& info) {
    if (const auto delegate = appEventDelegate()) delegate->didReceiveAppEvent(*this, name, info);
}

// DZLoadable.

void ZODBannerView::loadAssetsWithCompletionHandler(AssetCompletion handler) {
    if (!handler) return;
    core::Queue::main()->async([handler = std::move(handler)] { handler(std::nullopt); });
}

void ZODBannerView::adLoaderDidReceiveAd(DZAdLoader& loader) {
    const auto self = std::static_pointer_cast<ZODBannerView>(shared_from_this());
    const std::weak_ptr<DZAdLoader> weakLoader = loader.shared_from_this();
    DZRunOnMainThread([self, weakLoader] {
        const auto loader = weakLoader.lock();
        if (!loader) return;
        if (const auto delegate =
                std::dynamic_pointer_cast<ZODBannerAdLoaderDelegate>(loader->delegate()))
            delegate->adLoaderDidReceiveZODBannerView(*loader, self);
    });
}

const ZODBannerView::AdClass& ZODBannerView::adClass() {
    static const AdClass adClass;
    return adClass;
}

const DZDelegateProtocol& ZODBannerView::AdClass::requiredDelegateProtocol() const {
    static const DZDelegateProtocol protocol{
        "ZODBannerAdLoaderDelegate", [](const DZAdLoaderDelegate& delegate) {
            return dynamic_cast<const ZODBannerAdLoaderDelegate*>(&delegate) != nullptr;
        }};
    return protocol;
}

core::Dictionary ZODBannerView::AdClass::requestParametersForAdLoader(DZAdLoader& loader) const {
    const std::vector<DZBoxedValue> sizes = loaderBannerSizes(loader);
    if (sizes.empty()) return {};
    core::Array texts;
    for (const DZBoxedValue& size : sizes)
        if (auto text = sizeText(size)) texts.push_back(std::move(*text));
    return core::Dictionary{{"allowed_response_types", core::Array{std::string("iba")}},
                            {"sz_array", std::move(texts)}};
}

std::vector<DZBoxedValue>
ZODBannerView::AdClass::validAdSizesForAdLoader(DZAdLoader& loader) const {
    std::vector<DZBoxedValue> sizes;
    for (DZBoxedValue& size : loaderBannerSizes(loader))
        if (sizeText(size)) sizes.push_back(std::move(size));
    return sizes;
}

bool ZODBannerView::AdClass::canInitWithAdLoader(DZAdLoader& loader,
                                                 std::optional<Error>* error) const {
    if (!loaderBannerSizes(loader).empty()) return true;
    if (error)
        *error = DZErrorWithCodeDescription(
            kDZErrorInvalidArgument, "Must provide at least one ad size to load banner ads.");
    return false;
}

std::shared_ptr<DZMAdNetworkConnector> ZODBannerView::AdClass::mediationConnectorForConfiguration(
    const std::shared_ptr<DZMConfig>& configuration,
    const std::shared_ptr<DZMAdNetworkConfig>& network) const {
    if (!network || network->responseType() != "banner") return nullptr;
    return DZMAdNetworkConnectorBanner::create(configuration, network);
}

}  // namespace ads
