#include "ads/native/DZNativeContentAd.h"

#include "ads/mediation/core/DZMediatedNativeAd.h"
#include "ads/mediation/native/DZMediationNativeAdMediaContent.h"
#include "ads/native/DZAdLoader.h"
#include "ads/native/DZAdLoaderDelegate.h"

namespace ads {

namespace {

class ContentAdClass final : public DZLoadableClass {
public:
    std::string className() const override { return DZNativeContentAd::kClassName; }
    const DZDelegateProtocol& requiredDelegateProtocol() const override {
        static const DZDelegateProtocol protocol{
            "DZNativeContentAdLoaderDelegate", [](const DZAdLoaderDelegate& delegate) {
                return dynamic_cast<const DZNativeContentAdLoaderDelegate*>(&delegate) != nullptr;
            }};
        return protocol;
    }
    core::Dictionary requestParametersForAdLoader(DZAdLoader& loader) const override {
        return {{"format", 1},
                {"allowed_response_types", core::Array{"ina"}},
                {"native_advanced_statistics",
                 DZNativeAdStatisticsForAdUnit(loader.adUnitID(), "1").value_or(core::Array{})}};
    }
    bool canInitWithAdLoader(DZAdLoader&, std::optional<Error>*) const override { return true; }
    std::shared_ptr<DZNativeAd> initWithDictionary(const core::Dictionary& dictionary,
                                                   const Options& options) const override {
        return DZNativeContentAd::create(dictionary, options);
    }
    std::shared_ptr<DZNativeAd> initWithMediatedNativeAd(
        const std::shared_ptr<DZMediatedNativeAd>& mediatedAd,
        const Options& options) const override {
        return DZNativeContentAd::createWithMediatedNativeAd(mediatedAd, options);
    }
};

}  // namespace

const DZLoadableClass& DZNativeContentAd::adClass() {
    static const ContentAdClass adClass;
    return adClass;
}

std::shared_ptr<DZNativeContentAd> DZNativeContentAd::create(const core::Dictionary& dictionary,
                                                             const Options& options) {
    if (!dictionary["headline"].string() || !dictionary["body"].string()) return nullptr;
    std::shared_ptr<DZNativeContentAd> ad(new DZNativeContentAd(dictionary, options));
    ad->finishDictionaryAd(dictionary);
    return ad;
}

std::shared_ptr<DZNativeContentAd> DZNativeContentAd::createWithMediatedNativeAd(
    const std::shared_ptr<DZMediatedNativeAd>& mediatedAd, const Options& options) {
    const auto network = std::dynamic_pointer_cast<DZMediatedNativeContentAd>(
        mediatedAd ? mediatedAd->ad() : nullptr);
    if (!network) return nullptr;
    std::shared_ptr<DZNativeContentAd> ad(new DZNativeContentAd(mediatedAd, options));
    ad->headline_ = network->headline();
    ad->body_ = network->body();
    ad->callToAction_ = network->callToAction();
    ad->advertiser_ = network->advertiser();
    ad->logo_ = network->logo();
    ad->takeMediatedImages(network->images(), network->adChoicesView());
    if (!ad->headline_ || !ad->body_) return nullptr;
    ad->finishMediatedAd(std::make_shared<DZMediationNativeAdMediaContent>(network));
    return ad;
}

DZNativeContentAd::DZNativeContentAd(std::shared_ptr<DZMediatedNativeAd> mediatedAd,
                                     const Options& options)
    : DZNativeAdvancedAd(std::move(mediatedAd), options) {}

DZNativeContentAd::DZNativeContentAd(const core::Dictionary& dictionary, const Options& options)
    : DZNativeAdvancedAd(dictionary, options),
      headline_(copiedText(dictionary["headline"])), body_(copiedText(dictionary["body"])),
      callToAction_(copiedText(dictionary["call_to_action"])),
      advertiser_(copiedText(dictionary["advertiser"])) {
    if (dictionary.contains("secondary_image"))
        logo_ = DZNativeAdImage::initWithDictionary(dictionary["secondary_image"]);
}

std::set<std::string> DZNativeContentAd::requiredAssets() const {
    std::set<std::string> names{"headline", "body"};
    if (attribution_) names.insert(kAttributionAssetName);
    return names;
}

void DZNativeContentAd::adLoaderDidReceiveAd(DZAdLoader& loader) {
    const auto delegate =
        std::dynamic_pointer_cast<DZNativeContentAdLoaderDelegate>(loader.delegate());
    if (delegate)
        delegate->adLoaderDidReceiveNativeContentAd(
            loader, std::static_pointer_cast<DZNativeContentAd>(shared_from_this()));
}

}  // namespace ads
