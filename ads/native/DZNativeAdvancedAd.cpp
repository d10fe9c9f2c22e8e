#include "ads/native/DZNativeAdvancedAd.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <typeinfo>

#include "ads/core/request/DZNativeAdImageAdLoaderOptions.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/native/DZMediaContent.h"
#include "ads/native/DZNativeAdAttribution.h"
#include "ads/native/DZNativeAdAttributionView.h"
#include "ads/native/DZNativeAdViewPolicy.h"
#include "ads/native/DZNativeAppInstallAdView.h"
#include "ads/native/DZNativeContentAdView.h"
#include "ads/native/DZOverlayView.h"
#include "ads/video/DZVideoController.h"
#include "ads/video/DZVideoOptions.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

// "<ClassName: 0x...; frame = (x y; w h)>", for the log.
std::string viewDescription(const ui::View& view) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(typeid(view).name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : typeid(view).name();
    std::free(demangled);
    if (const auto colons = name.rfind("::"); colons != std::string::npos)
        name = name.substr(colons + 2);
    const gfx::Rect& frame = view.frame();
    return core::format("<%@: %p; frame = (%@ %@; %@ %@)>", name, static_cast<const void*>(&view),
                        DZCompactDecimalString(frame.origin.x),
                        DZCompactDecimalString(frame.origin.y),
                        DZCompactDecimalString(frame.size.width),
                        DZCompactDecimalString(frame.size.height));
}

}  // namespace

std::optional<std::string> DZNativeAdvancedAd::copiedText(const core::Value& value) {
    if (const std::string* text = value.string()) return *text;
    return std::nullopt;
}

std::string DZNativeAdvancedAd::mainImageAssetName(const DZNativeAdImage& image) {
    char address[32];
    std::snprintf(address, sizeof address, "%p:", static_cast<const void*>(&image));
    return address + image.imageURL().absoluteString();
}

DZNativeAdvancedAd::DZNativeAdvancedAd(const core::Dictionary& dictionary, const Options& options)
    : DZNativeAd(dictionary, options) {
    const auto imageOptions = DZNativeAdOption<DZNativeAdImageAdLoaderOptions>(options);
    disableImageLoading_ = imageOptions && imageOptions->disableImageLoading();
    videoController_ = std::make_shared<DZVideoController>();
    nativeAdImages_ = DZNativeAdImage::nativeAdImagesFromImageConfigurationArray(
                          dictionary["images"], imageOptions.get())
                          .value_or(DZNativeAdImage::Images{});
    if (dictionary["attribution"].isDictionary())
        attribution_ = DZNativeAdAttribution::initWithDictionary(dictionary["attribution"]);
    std::optional<core::Dictionary> video;
    if (const core::Dictionary* found = dictionary["video"].dictionary()) video = *found;
    mediaContent_ = DZMediaContent::create(
        std::move(video), nativeAdImages_.empty() ? nullptr : nativeAdImages_.front(),
        DZNativeAdOption<DZVideoOptions>(options));
}

void DZNativeAdvancedAd::finishDictionaryAd(const core::Dictionary& dictionary) {
    overlayView_ = DZOverlayView::create();
    overlayView_->setHidden(true);
    publisherOwnedAdViewAllowed_ = dictionary["allow_pub_owned_ad_view"].boolValue();
}

DZNativeAdvancedAd::DZNativeAdvancedAd(std::shared_ptr<DZMediatedNativeAd> mediatedAd,
                                       const Options& options)
    : DZNativeAd(std::move(mediatedAd), options) {
    const auto imageOptions = DZNativeAdOption<DZNativeAdImageAdLoaderOptions>(options);
    disableImageLoading_ = imageOptions && imageOptions->disableImageLoading();
}

void DZNativeAdvancedAd::takeMediatedImages(const DZNativeAdImage::Images& images,
                                            std::shared_ptr<ui::View> adChoicesView) {
    // The network's images are ready as they are; entries of another kind
    // come as nulls and are left out.
    for (const auto& image : images)
        if (image) availableNativeAdImages_.push_back(image);
    adChoicesContentView_ = std::move(adChoicesView);
}

void DZNativeAdvancedAd::finishMediatedAd(std::shared_ptr<DZMediaContentDisplaying> mediaContent) {
    bindMediatedAdObservers();
    videoController_ = std::make_shared<DZVideoController>();
    mediaContent_ = std::move(mediaContent);
}

DZNativeAdvancedAd::~DZNativeAdvancedAd() = default;

std::shared_ptr<ui::View> DZNativeAdvancedAd::adChoicesContentView() {
    if (!adChoicesContentView_ && attribution_)
        adChoicesContentView_ = DZNativeAdAttributionView::initWithAttribution(attribution_);
    return adChoicesContentView_;
}

void DZNativeAdvancedAd::setSlot(std::shared_ptr<DZSlot> slot) {
    DZNativeAd::setSlot(slot);
    if (overlayView_ && slot) overlayView_->setAdView(slot->adView());
}

void DZNativeAdvancedAd::loadImage(const std::shared_ptr<DZNativeAdImage>& image,
                                   const std::string& name, bool makeAvailable) {
    addAssetWithNameToRequestedAssets(name);
    const std::weak_ptr<DZNativeAd> weak = weak_from_this();
    image->loadImageWithCompletionHandler(
        [weak, image, name, makeAvailable](const std::optional<Error>& error) {
            const auto self = std::static_pointer_cast<DZNativeAdvancedAd>(weak.lock());
            if (!self) return;
            if (error) {
                self->failedToLoadAssetWithName(name);
                return;
            }
            if (makeAvailable) self->availableNativeAdImages_.push_back(image);
            self->finishedLoadingAssetWithName(name);
        });
}

void DZNativeAdvancedAd::loadAssetsWithCompletionHandler(AssetCompletion handler) {
    DZNativeAd::loadAssetsWithCompletionHandler(std::move(handler));
    if (!shouldLoadAssets()) return;
    if (!disableImageLoading_) {
        if (const auto own = ownImage()) loadImage(own, ownImageAssetName(), false);
        for (const auto& image : nativeAdImages_) loadImage(image, mainImageAssetName(*image), true);
    } else {
        availableNativeAdImages_.insert(availableNativeAdImages_.end(), nativeAdImages_.begin(),
                                        nativeAdImages_.end());
    }
    const std::weak_ptr<DZNativeAd> weak = weak_from_this();
    if (attribution_) {
        addAssetWithNameToRequestedAssets(kAttributionAssetName);
        attribution_->loadAssetsWithCompletionHandler([weak](const std::optional<Error>& error) {
            const auto self = std::static_pointer_cast<DZNativeAdvancedAd>(weak.lock());
            if (!self) return;
            if (error) {
                self->failedToLoadAssetWithName(kAttributionAssetName);
                return;
            }
            const auto& icons = self->attribution_->icons();
            if (icons && !icons->empty()) self->adChoicesIcon_ = icons->front();
            self->finishedLoadingAssetWithName(std::string(kAttributionAssetName));
        });
    }
    if (mediaContent_) {
        addAssetWithNameToRequestedAssets(kMediaAssetName);
        const std::weak_ptr<DZMediaContentDisplaying> weakContent = mediaContent_;
        mediaContent_->loadVideoWithCompletionHandler(
            [weak, weakContent](const std::optional<Error>& error) {
                const auto self = std::static_pointer_cast<DZNativeAdvancedAd>(weak.lock());
                if (!self) return;
                if (error) {
                    self->failedToLoadAssetWithName(kMediaAssetName);
                    return;
                }
                if (const auto content = weakContent.lock())
                    self->videoController_->setInternalVideoController(content->videoController());
                self->finishedLoadingAssetWithName(std::string(kMediaAssetName));
            });
    }
}

// Publisher-owned views.

void DZNativeAdvancedAd::registerAdView(const std::shared_ptr<ui::View>& adView,
                                        const std::optional<AssetViews>& assetViews) {
    DZLogger& logger = DZLogger::sharedInstance();
    if (!publisherOwnedAdViewAllowed_) {
        logger.logPublicMessage(kNotAllowedMessage);
        return;
    }
    if (!adView || !assetViews) {
        logger.logPublicMessage(kNilViewMessage);
        return;
    }
    if (std::dynamic_pointer_cast<DZNativeAppInstallAdView>(adView) ||
        std::dynamic_pointer_cast<DZNativeContentAdView>(adView)) {
        logger.logPublicMessage(kOwnViewMessagePrefix + viewDescription(*adView));
        return;
    }
    if (nativeAdViewPolicy_.lock()) {
        logger.logPublicMessage(kAlreadyRegisteredMessage);
        return;
    }
    const PolicyAssetNames names = policyAssetNames();
    const auto policy = DZNativeAdViewPolicy::create(adView, names.attributionIcon,
                                                     names.attributionText, names.background, true);
    if (!policy) return;
    policy->setAssetViews(*assetViews);
    policy->setNativeAd(shared_from_this());
    policy->setDelegate(std::static_pointer_cast<DZNativeAdViewPolicyDelegate>(shared_from_this()));
    nativeAdViewPolicy_ = policy;
}

void DZNativeAdvancedAd::unregisterAdView() {
    if (!publisherOwnedAdViewAllowed_) {
        DZLogger::sharedInstance().logPublicMessage(kNotAllowedMessage);
        return;
    }
    if (const auto policy = nativeAdViewPolicy_.lock()) policy->unregisterAdView();
    nativeAdViewPolicy_.reset();
}

}  // namespace ads
