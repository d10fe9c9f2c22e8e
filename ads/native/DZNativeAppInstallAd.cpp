#include "ads/native/DZNativeAppInstallAd.h"

#include "ads/native/DZAdLoader.h"

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
};

}  // namespace

const DZLoadableClass& DZNativeAppInstallAd::adClass() {
    static const AppInstallAdClass adClass;
    return adClass;
}

std::shared_ptr<DZNativeAppInstallAd>
DZNativeAppInstallAd::create(const core::Dictionary& dictionary, const Options& options) {
    if (!dictionary["headline"].string() || !dictionary["call_to_action"].string()) return nullptr;
    const std::string* iconURL = dictionary["app_icon"]["url"].string();
    auto url = iconURL ? core::URL::create(*iconURL) : std::nullopt;
    if (!url) return nullptr;
    return std::shared_ptr<DZNativeAppInstallAd>(
        new DZNativeAppInstallAd(dictionary, options, std::move(*url)));
}

DZNativeAppInstallAd::DZNativeAppInstallAd(const core::Dictionary& dictionary,
                                           const Options& options, core::URL iconURL)
    : DZNativeAd(dictionary, options), headline_(*dictionary["headline"].string()),
      callToAction_(*dictionary["call_to_action"].string()), iconURL_(std::move(iconURL)),
      starRating_(dictionary["rating"].doubleValue()) {
    if (const std::string* text = dictionary["body"].string()) body_ = *text;
    if (const std::string* text = dictionary["store"].string()) store_ = *text;
    if (const std::string* text = dictionary["price"].string()) price_ = *text;
}

std::set<std::string> DZNativeAppInstallAd::requiredAssets() const {
    return {"headline", "callToAction", "icon"};
}

void DZNativeAppInstallAd::adLoaderDidReceiveAd(DZAdLoader& loader) {
    const auto delegate =
        std::dynamic_pointer_cast<DZNativeAppInstallAdLoaderDelegate>(loader.delegate());
    if (delegate)
        delegate->adLoaderDidReceiveNativeAppInstallAd(
            loader, std::static_pointer_cast<DZNativeAppInstallAd>(shared_from_this()));
}

}  // namespace ads
