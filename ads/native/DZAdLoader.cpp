#include "ads/native/DZAdLoader.h"

#include <algorithm>
#include <iterator>

#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZAdType.h"
#include "ads/core/request/DZCorrelatorAdLoaderOptions.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZLogger.h"
#include "ads/native/DZAdLoadResults.h"
#include "ads/native/DZAdPreprocessor.h"
#include "ads/native/DZNativeAd.h"
#include "ads/web/view/DZAdView.h"
#include "core/Queue.h"

namespace ads {

std::shared_ptr<DZAdLoader> DZAdLoader::create(
    std::optional<std::string> adUnitID, std::weak_ptr<ui::ViewController> rootViewController,
    const std::vector<std::string>& adTypes,
    const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options) {
    auto loader = std::make_shared<DZAdLoader>(Token{}, std::move(adUnitID),
                                               std::move(rootViewController),
                                               DZAdLoaderConfiguration::create(adTypes, options));
    loader->slot_ = DZSlot::create();
    if (!loader->slot_) return nullptr;
    const auto& slot = loader->slot_;
    slot->setSlotDelegate(std::static_pointer_cast<DZSlotDelegate>(loader));
    slot->setAdResponseDelegate(std::static_pointer_cast<DZSlotAdResponseDelegate>(loader));
    slot->setAdLoadDelegate(std::static_pointer_cast<DZSlotAdLoadDelegate>(loader));
    slot->setAdUnitID(loader->adUnitID_);
    if (loader->adLoaderConfiguration_) {
        const auto byClass = loader->adLoaderConfiguration_->adConfiguration().optionsByClass();
        if (const auto found = byClass.find(DZCorrelatorAdLoaderOptions::kClassName);
            found != byClass.end()) {
            if (const auto* correlator =
                    dynamic_cast<const DZCorrelatorAdLoaderOptions*>(found->second.get()))
                slot->setCorrelator(correlator->correlator());
        }
    }
    if (slot->adView()) slot->adView()->configureAsBannerAdView();
    slot->setAdType(DZAdType::bannerAdTypeForSize(kDZAdSizeBanner), false);
    return loader;
}

DZAdLoader::DZAdLoader(Token, std::optional<std::string> adUnitID,
                       std::weak_ptr<ui::ViewController> rootViewController,
                       std::shared_ptr<DZAdLoaderConfiguration> configuration)
    : adUnitID_(std::move(adUnitID)), rootViewController_(std::move(rootViewController)),
      adLoaderConfiguration_(std::move(configuration)) {}

DZAdLoader::~DZAdLoader() = default;

std::shared_ptr<ui::ViewController> DZAdLoader::rootViewController() const {
    return rootViewController_.lock();
}

std::vector<const DZLoadableClass*> DZAdLoader::adClasses() const {
    std::vector<const DZLoadableClass*> classes;
    if (!adLoaderConfiguration_) return classes;
    for (const DZAdClass& adClass : adLoaderConfiguration_->adTypeClasses())
        classes.push_back(DZLoadableClassNamed(adClass.className()));
    return classes;
}

void DZAdLoader::setDelegate(const std::shared_ptr<DZAdLoaderDelegate>& delegate) {
    if (delegate == delegate_.lock()) return;
    if (!delegate) {
        delegate_.reset();
        return;
    }
    for (const DZLoadableClass* adClass : adClasses()) {
        if (!adClass) continue;
        std::optional<Error> error;
        if (!DZCheckDelegateConformsToAdClassProtocol(delegate.get(), *adClass, &error)) {
            DZLogger::sharedInstance().logPublicMessage(error->message);
            return;
        }
    }
    delegate_ = delegate;
}

void DZAdLoader::failSoon(Error error) {
    core::Queue::main()->async([weak = weak_from_this(), error = std::move(error)] {
        if (const auto self = weak.lock()) self->handleFailedRequestWithRequestError(error, true);
    });
}

void DZAdLoader::loadRequest(const std::shared_ptr<DZRequest>& request) {
    if (loading_) {
        DZLogger::sharedInstance().logPublicMessage(kAlreadyLoadingMessage);
        return;
    }
    loading_ = true;
    DZApplication::sharedInstance()->runAdditionalEarlyActivities();
    const auto classes = adClasses();
    if (classes.empty()) {
        failSoon(DZErrorWithCodeDescription(kDZErrorInvalidRequest,
                                            "Must specify at least one ad type."));
        return;
    }
    core::Array formatParameters;
    core::Dictionary byClass;
    for (const DZLoadableClass* adClass : classes) {
        std::optional<Error> refusal;
        if (!adClass) {
            // A type with a class that this build cannot deliver.
            failSoon(DZErrorWithCodeDescription(kDZErrorInvalidRequest,
                                                "Ad type is not supported by the ad loader."));
            return;
        }
        if (!adClass->canInitWithAdLoader(*this, &refusal)) {
            failSoon(DZErrorWithCodeDescription(
                kDZErrorInvalidRequest, refusal ? std::optional(refusal->message)
                                                : std::nullopt));
            return;
        }
        core::Dictionary parameters = adClass->requestParametersForAdLoader(*this);
        if (!parameters.empty()) {
            formatParameters.push_back(parameters);
            byClass.set(adClass->className(), parameters);
        }
    }
    adLoaderConfiguration_->setAdClassRequestParameters(byClass);
    const core::Dictionary options = adLoaderConfiguration_->requestParameters();
    std::int64_t requested = 1;
    if (const core::Value* count = options.find("max_num_ads")) {
        requested = count->intValue();
        if (requested < 1) {
            failSoon(DZErrorWithCodeDescription(kDZErrorInvalidRequest,
                                                "Requested ad count must be positive."));
            return;
        }
    }
    adLoadResults_ = std::make_shared<DZAdLoadResults>(weak_from_this(), requested);
    auto copy = request ? request->copy() : DZRequest::request();
    copy->setFormatParameters(formatParameters);
    copy->setResponseType(3);
    copy->setAdConfigurationParameters(options);
    slot_->loadRequest(copy);
}

// The response.

bool DZAdLoader::shouldProcessAdResponse(DZSlot&, const std::shared_ptr<DZAd>& ad,
                                         std::optional<Error>* error) {
    auto preprocessor = DZAdPreprocessor::create(adUnitID_);
    if (!preprocessor) {
        if (error)
            *error = DZErrorWithCodeDescription(kDZErrorInternalError,
                                                "Ad loader failed to process ad response.");
        return false;
    }
    adPreprocessors_.push_back(preprocessor);
    preprocessor->preprocessNativeAdJSON(
        ad->adHTML().value_or(""),
        [weak = weak_from_this(), weakPreprocessor = std::weak_ptr<DZAdPreprocessor>(preprocessor)](
            const std::optional<core::Value>& configuration, const std::shared_ptr<DZSlot>& slot,
            const std::optional<Error>&) {
            const auto self = weak.lock();
            if (!self) return;
            self->preprocessorDidComplete(weakPreprocessor.lock(), configuration, slot);
        });
    return false;
}

void DZAdLoader::preprocessorDidComplete(const std::shared_ptr<DZAdPreprocessor>& preprocessor,
                                         const std::optional<core::Value>& configuration,
                                         const std::shared_ptr<DZSlot>& slot) {
    const core::Dictionary* dictionary = configuration ? configuration->dictionary() : nullptr;
    const core::Array* ads =
        dictionary ? DZNativeAd::adsArrayInAdsConfigurationDictionary(*dictionary) : nullptr;
    const core::Array entries = ads ? *ads : core::Array{};
    if (adLoadResults_) adLoadResults_->setReturnedAdCount(std::int64_t(entries.size()));
    for (size_t index = 0; index < entries.size(); ++index) {
        const core::Dictionary* entry = entries[index].dictionary();
        createSingleNativeAd(entry ? *entry : core::Dictionary{}, slot, std::int64_t(index));
    }
    std::erase(adPreprocessors_, preprocessor);
}

void DZAdLoader::createSingleNativeAd(const core::Dictionary& entry,
                                      const std::shared_ptr<DZSlot>& slot, std::int64_t index) {
    const auto results = adLoadResults_;
    if (!results) return;
    const DZLoadableClass* adClass = DZNativeAd::classFromSingleAdConfigurationDictionary(entry);
    const auto classes = adClasses();
    std::shared_ptr<DZNativeAd> ad;
    if (adClass && std::find(classes.begin(), classes.end(), adClass) != classes.end())
        ad = adClass->initWithDictionary(entry,
                                         adLoaderConfiguration_->adConfiguration().optionsByClass());
    const core::Value parameters = adClass ? adLoaderConfiguration_->adClassRequestParameters()[adClass->className()]
                                           : core::Value();
    const core::Dictionary* classParameters = parameters.dictionary();
    if (!ad || !ad->hasValidConfigurationForRequestParameters(
                   classParameters ? *classParameters : core::Dictionary{})) {
        results->insertAdLoadResult(DZErrorWithCode(kDZErrorReceivedInvalidResponse), index);
        return;
    }
    ad->setSlot(slot);
    nativeAds_.push_back(ad);
    ad->setAdUnitID(adUnitID_);
    ad->setRootViewController(rootViewController_);
    ad->loadAssetsWithCompletionHandler(
        [weak = weak_from_this(), weakResults = std::weak_ptr<DZAdLoadResults>(results),
         weakAd = std::weak_ptr<DZNativeAd>(ad), index](const std::optional<Error>& error) {
            const auto self = weak.lock();
            const auto resultsNow = weakResults.lock();
            const auto loaded = weakAd.lock();
            if (!self || !resultsNow || !loaded) return;
            if (error) {
                std::erase(self->nativeAds_, loaded);
                resultsNow->insertAdLoadResult(
                    DZErrorWithCodeDescription(kDZErrorInternalError,
                                               "Error loading native ad assets."),
                    index);
            } else {
                resultsNow->insertAdLoadResult(std::static_pointer_cast<DZLoadable>(loaded),
                                               index);
            }
        });
}

// Delivery.

void DZAdLoader::handleFailedRequestWithRequestError(const std::optional<Error>& error,
                                                     bool isFinalResult) {
    if (isFinalResult) {
        loading_ = false;
        adLoadResults_.reset();
    }
    if (const auto delegate = delegate_.lock())
        delegate->adLoaderDidFailToReceiveAdWithError(
            *this, DZRequestErrorFromError(error.value_or(DZErrorWithCode(kDZErrorInternalError))));
    if (isFinalResult) finishLoading();
}

void DZAdLoader::adDidFinishLoadingAssets(const std::shared_ptr<DZLoadable>& ad,
                                          bool isFinalResult) {
    std::erase_if(nativeAds_, [&](const auto& native) { return native.get() == ad.get(); });
    std::optional<Error> conformance;
    const auto delegate = delegate_.lock();
    if (!DZCheckDelegateConformsToAdClassProtocol(delegate.get(), ad->loadableClass(),
                                                  &conformance)) {
        handleFailedRequestWithRequestError(
            DZErrorWithCodeDescription(kDZErrorInvalidRequest, conformance->message),
            isFinalResult);
        return;
    }
    if (isFinalResult) {
        loading_ = false;
        adLoadResults_.reset();
    }
    ad->adLoaderDidReceiveAd(*this);
    if (isFinalResult) finishLoading();
}

void DZAdLoader::finishLoading() {
    if (const auto delegate = delegate_.lock()) delegate->adLoaderDidFinishLoading(*this);
}

// Slot.

void DZAdLoader::didFailToLoadAdContentWithError(DZSlot&, const Error& error) {
    handleFailedRequestWithRequestError(error, true);
}

void DZAdLoader::willProcessMediatedAdResponse(DZSlot&, const std::shared_ptr<DZAd>& ad) {
    ad->setMediationDelegate(std::static_pointer_cast<DZAdMediationDelegate>(shared_from_this()));
}

std::optional<std::shared_ptr<DZAdLoaderConfiguration>>
DZAdLoader::adLoaderConfigurationForAd(const std::shared_ptr<DZAd>&,
                                       const std::shared_ptr<DZMAdNetworkConfig>&) {
    return adLoaderConfiguration_;
}

std::optional<std::vector<DZBoxedValue>> DZAdLoader::validAdSizes() const {
    // Only banner classes have sizes; the native ones add none. The
    // classes ask the loader's delegate, which changes nothing here.
    auto& self = const_cast<DZAdLoader&>(*this);
    std::vector<DZBoxedValue> sizes;
    for (const DZLoadableClass* adClass : adClasses()) {
        if (!adClass) continue;
        auto own = adClass->validAdSizesForAdLoader(self);
        sizes.insert(sizes.end(), std::make_move_iterator(own.begin()),
                     std::make_move_iterator(own.end()));
    }
    return sizes;
}

std::optional<gfx::Rect> DZAdLoader::bounds() const {
    // The first valid size, else the slot's type's (the 320 x 50 banner).
    DZAdSize size{};
    const auto sizes = validAdSizes();
    const bool usable = sizes && !sizes->empty() &&
                        DZAdSizeIsUsable(size = DZAdSizeUnboxedValue(sizes->front()));
    if (!usable) {
        size = DZAdSize{};
        if (slot_ && slot_->adType()) size = slot_->adType()->adSize();
    }
    const gfx::Size points = DZAdSizeResolvedCGSize(size);
    return gfx::Rect{0, 0, points.width, points.height};
}

}  // namespace ads
