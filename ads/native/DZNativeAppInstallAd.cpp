#include "ads/native/DZNativeAppInstallAd.h"

#include "ads/mediation/core/DZMediatedNativeAd.h"
#include "ads/mediation/native/DZMediationNativeAdMediaContent.h"
#include "ads/native/DZAdLoader.h"
#include "ads/native/DZAdLoaderDelegate.h"

namespace ads {

namespace {

class AppInstallAdClass final : public DZLoadableClass {
public:
    std::string className() const override { return DZNativeAppInstallAd::kClassName; }
    const DZDelegateProtocol& requiredDelegateProtocol() const override {
        static const DZDelegateProtocol protocol{
            "DZNativeAppInstallAdLoaderDelegate", [](const DZAdLoaderDelegate& delegate) {
                return dynamic_cast<const DZNativeAppInstallAdLoaderDelegate*>(&delegate) !=
                       nullptr;
            }};
        return protocol;
    }
    core::Dictionary requestParametersForAdLoader(DZAdLoader& loader) const override {
        return {{"format", 2},
                {"allowed_response_types", core::Array{"ina"}},
                {"native_advanced_statistics",
                 DZNativeAdStatisticsForAdUnit(loader.adUnitID(), "2").value_or(core::Array{})}};
    }
    bool canInitWithAdLoader(DZAdLoader&, std::optional<Error>*) const override { return true; }
    std::shared_ptr<DZNativeAd> initWithDictionary(const core::Dictionary& dictionary,
                                                   const Options& options) const override {
        return DZNativeAppInstallAd::create(dictionary, options);
    }
    std::shared_ptr<DZNativeAd> initWithMediatedNativeAd(
        const std::shared_ptr<DZMediatedNativeAd>& mediatedAd,
        const Options& options) const override {
        return DZNativeAppInstallAd::createWithMediatedNativeAd(mediatedAd, options);
    }
};

}  // namespace

const DZLoadableClass& DZNativeAppInstallAd::adClass() {
    static const AppInstallAdClass adClass;
    return adClass;
}

std::shared_ptr<DZNativeAppInstallAd>
DZNativeAppInstallAd::create(const core::Dictionary& dictionary, const Options& options) {
    if (!dictionary["headline"].string() || !dictionary["call_to_action"].string() ||
        !DZNativeAdImage::initWithDictionary(dictionary["app_icon"]))
        return nullptr;
    std::shared_ptr<DZNativeAppInstallAd> ad(new DZNativeAppInstallAd(dictionary, options));
    if (!ad->icon_) return nullptr;
    ad->finishDictionaryAd(dictionary);
    return ad;
}

std::shared_ptr<DZNativeAppInstallAd> DZNativeAppInstallAd::createWithMediatedNativeAd(
    const std::shared_ptr<DZMediatedNativeAd>& mediatedAd, const Options& options) {
    const auto network = std::dynamic_pointer_cast<DZMediatedNativeAppInstallAd>(
        mediatedAd ? mediatedAd->ad() : nullptr);
    if (!network) return nullptr;
    std::shared_ptr<DZNativeAppInstallAd> ad(new DZNativeAppInstallAd(mediatedAd, options));
    ad->headline_ = network->headline();
    ad->callToAction_ = network->callToAction();
    ad->body_ = network->body();
    ad->store_ = network->store();
    ad->price_ = network->price();
    ad->starRating_ = network->starRating();
    ad->icon_ = network->icon();
    ad->takeMediatedImages(network->images(), network->adChoicesView());
    if (!ad->headline_ || !ad->callToAction_ || !ad->icon_) return nullptr;
    ad->finishMediatedAd(std::make_shared<DZMediationNativeAdMediaContent>(network));
    return ad;
}

DZNativeAppInstallAd::DZNativeAppInstallAd(std::shared_ptr<DZMediatedNativeAd> mediatedAd,
                                           const Options& options)
    : DZNativeAdvancedAd(std::move(mediatedAd), options) {}

DZNativeAppInstallAd::DZNativeAppInstallAd(const core::Dictionary& dictionary,
                                           const Options& options)
    : DZNativeAdvancedAd(dictionary, options),
      headline_(copiedText(dictionary["headline"])),
      callToAction_(copiedText(dictionary["call_to_action"])),
      body_(copiedText(dictionary["body"])), store_(copiedText(dictionary["store"])),
      price_(copiedText(dictionary["price"])) {
    // A decimal number from the rating's decimal value; 0 without one.
    const core::Value* rating = dictionary.find("rating");
    starRating_ = rating ? rating->doubleValue() : 0.0;
    if (dictionary.contains("app_icon")) icon_ = DZNativeAdImage::initWithDictionary(dictionary["app_icon"]);
}

std::set<std::string> DZNativeAppInstallAd::requiredAssets() const {
    std::set<std::string> names{"headline", "callToAction", kIconAssetName};
    if (attribution_) names.insert(kAttributionAssetName);
    return names;
}

void DZNativeAppInstallAd::adLoaderDidReceiveAd(DZAdLoader& loader) {
    const auto delegate =
        std::dynamic_pointer_cast<DZNativeAppInstallAdLoaderDelegate>(loader.delegate());
    if (delegate)
        delegate->adLoaderDidReceiveNativeAppInstallAd(
            loader, std::static_pointer_cast<DZNativeAppInstallAd>(shared_from_this()));
}

}  // namespace ads
