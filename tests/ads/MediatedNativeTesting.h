#pragma once
// Shared by the tests of mediated native ads: another network's native ads
// of each kind with settable assets, the network's delegate that writes
// down what it is told, and a native ad object around a mediated ad.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/mediation/core/DZMediatedNativeAd.h"
#include "ads/mediation/core/DZMediatedNativeAdProtocol.h"
#include "ads/native/DZNativeAd.h"
#include "ads/native/DZNativeAdImage.h"
#include "ads/native/DZNativeContentAd.h"
#include "ui/View.h"

namespace mediatednativetesting {

// "impression", "click <asset>", "render <view>", "untrack <view>", with
// views named by the test.
class NetworkDelegate : public ads::DZMediatedNativeAdDelegate {
public:
    void mediatedNativeAdDidRecordImpression(ads::DZMediatedNativeAdProtocol&) override {
        heard.push_back("impression");
    }
    void mediatedNativeAdDidRecordClickOnAssetWithName(
        ads::DZMediatedNativeAdProtocol&, const std::optional<std::string>& asset,
        const std::shared_ptr<ui::View>&, const std::shared_ptr<ui::ViewController>&) override {
        heard.push_back("click " + asset.value_or("-"));
    }
    void mediatedNativeAdDidRenderInView(ads::DZMediatedNativeAdProtocol&,
                                         const std::shared_ptr<ui::View>& view,
                                         const std::shared_ptr<ui::ViewController>&) override {
        heard.push_back("render " + name(view));
    }
    void mediatedNativeAdDidUntrackView(ads::DZMediatedNativeAdProtocol&,
                                        const std::shared_ptr<ui::View>& view) override {
        heard.push_back("untrack " + name(view));
    }

    std::vector<std::string> heard;
    std::vector<std::pair<std::shared_ptr<ui::View>, std::string>> names;

private:
    std::string name(const std::shared_ptr<ui::View>& view) const {
        for (const auto& [known, text] : names)
            if (known == view) return text;
        return "?";
    }
};

// What every kind of network ad carries.
struct NetworkAssets {
    std::optional<std::string> headline;
    std::optional<std::string> body;
    ads::DZMediatedNativeAdImages images;
    std::optional<std::string> callToAction;
    std::optional<core::Dictionary> extras;
    std::shared_ptr<ui::View> media;
    std::optional<bool> video;
    std::shared_ptr<NetworkDelegate> delegate = std::make_shared<NetworkDelegate>();
};

class NetworkAdBase : public virtual ads::DZMediatedNativeAdProtocol {
public:
    std::shared_ptr<ads::DZMediatedNativeAdDelegate> mediatedNativeAdDelegate() const override {
        return assets.delegate;
    }
    std::optional<core::Dictionary> extraAssets() const override { return assets.extras; }
    std::shared_ptr<ui::View> mediaView() const override { return assets.media; }
    std::optional<bool> hasVideoContent() const override { return assets.video; }

    NetworkAssets assets;
};

// A network ad of no kind the SDK knows.
class PlainNetworkAd : public NetworkAdBase {};

class ContentNetworkAd : public NetworkAdBase, public ads::DZMediatedNativeContentAd {
public:
    std::optional<std::string> headline() const override { return assets.headline; }
    std::optional<std::string> body() const override { return assets.body; }
    ads::DZMediatedNativeAdImages images() const override { return assets.images; }
    std::shared_ptr<ads::DZNativeAdImage> logo() const override { return logoImage; }
    std::optional<std::string> callToAction() const override { return assets.callToAction; }
    std::optional<std::string> advertiser() const override { return advertiserText; }

    std::shared_ptr<ads::DZNativeAdImage> logoImage;
    std::optional<std::string> advertiserText;
};

class AppInstallNetworkAd : public NetworkAdBase, public ads::DZMediatedNativeAppInstallAd {
public:
    std::optional<std::string> headline() const override { return assets.headline; }
    ads::DZMediatedNativeAdImages images() const override { return assets.images; }
    std::optional<std::string> body() const override { return assets.body; }
    std::shared_ptr<ads::DZNativeAdImage> icon() const override { return iconImage; }
    std::optional<std::string> callToAction() const override { return assets.callToAction; }
    std::optional<double> starRating() const override { return rating; }
    std::optional<std::string> store() const override { return storeText; }
    std::optional<std::string> price() const override { return priceText; }

    std::shared_ptr<ads::DZNativeAdImage> iconImage;
    std::optional<double> rating;
    std::optional<std::string> storeText;
    std::optional<std::string> priceText;
};

// A network ad that is both kinds.
class BothKindsNetworkAd : public NetworkAdBase,
                           public ads::DZMediatedNativeAppInstallAd,
                           public ads::DZMediatedNativeContentAd {
public:
    std::optional<std::string> headline() const override { return assets.headline; }
    ads::DZMediatedNativeAdImages images() const override { return assets.images; }
    std::optional<std::string> body() const override { return assets.body; }
    std::shared_ptr<ads::DZNativeAdImage> icon() const override { return image; }
    std::shared_ptr<ads::DZNativeAdImage> logo() const override { return image; }
    std::optional<std::string> callToAction() const override { return assets.callToAction; }
    std::optional<double> starRating() const override { return std::nullopt; }
    std::optional<std::string> store() const override { return "store"; }
    std::optional<std::string> price() const override { return std::nullopt; }
    std::optional<std::string> advertiser() const override { return "advertiser"; }

    std::shared_ptr<ads::DZNativeAdImage> image;
};

inline std::shared_ptr<ads::DZNativeAdImage> imageAt(const std::string& url) {
    return ads::DZNativeAdImage::initWithURL(*core::URL::create(url), 1.0);
}

// A native ad object around a mediated ad, as the ad kinds make them.
class MediatedNativeAd final : public ads::DZNativeAd {
public:
    explicit MediatedNativeAd(std::shared_ptr<ads::DZMediatedNativeAd> mediated)
        : DZNativeAd(std::move(mediated), {}) {}
    void adLoaderDidReceiveAd(ads::DZAdLoader&) override {}
    const ads::DZLoadableClass& loadableClass() const override {
        return ads::DZNativeContentAd::adClass();
    }
};

// A mediated ad of the network ad whose handlers count into the counters.
inline std::shared_ptr<ads::DZMediatedNativeAd>
countingMediatedAd(const std::shared_ptr<ads::DZMediatedNativeAdProtocol>& ad, int& impressions,
                   int& clicks) {
    auto mediated = std::make_shared<ads::DZMediatedNativeAd>();
    mediated->setAd(ad);
    mediated->setAdNetworkClassName("NetworkAdapter");
    mediated->addImpressionHandler([&impressions] { ++impressions; });
    mediated->addClickHandler([&clicks] { ++clicks; });
    return mediated;
}

}  // namespace mediatednativetesting
