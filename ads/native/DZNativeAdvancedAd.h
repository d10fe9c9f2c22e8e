#pragma once
// What the app install and content ads share beyond the native ad base:
// the image loader option, the main images (as configured and as ready),
// the attribution badge and its AdChoices content view, the media content
// with the public video controller, the hidden HTML overlay given the
// slot's page, and a view of the publisher's own registered through a
// view policy for accounts that are allowed it.
//
// Asset loading requests the subclass's own picture (the app install ad's
// "icon", the content ad's "logo"), one "%p:%@" name per main image (the
// image object's address and its URL), "attribution" and
// "native_ad_media"; the base decides the outcome from the subclass's
// required assets. With image loading disabled no picture is fetched and
// every configured main image is available at once, without its picture.
//
// Threading: main thread; asset completions arrive on the main queue.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "ads/native/DZNativeAd.h"
#include "ads/native/DZNativeAdImage.h"
#include "ads/native/DZOverlayViewSource.h"

namespace ui {
class View;
}

namespace ads {

class DZMediaContentDisplaying;
class DZMediatedNativeAd;
class DZNativeAdAttribution;
class DZNativeAdImageAdLoaderOptions;
class DZNativeAdViewPolicy;
class DZOverlayView;
class DZVideoController;
class DZVideoOptions;

// The option of that class among the loader's options; nullptr for none.
template <typename Option>
[[nodiscard]] std::shared_ptr<const Option> DZNativeAdOption(const DZLoadableClass::Options& options) {
    const auto found = options.find(Option::kClassName);
    if (found == options.end()) return nullptr;
    return std::dynamic_pointer_cast<const Option>(found->second);
}

class DZNativeAdvancedAd : public DZNativeAd, public DZOverlayViewSource {
public:
    using AssetViews = std::map<std::string, std::shared_ptr<ui::View>>;

    static constexpr const char* kNotAllowedMessage =
        "Your account must be enabled to use this feature. Talk to your account manager to "
        "request this feature for your account. In the meantime, this method is a no-op.";
    static constexpr const char* kNilViewMessage =
        "Cannot register nil ad view or nil asset view dictionary.";
    static constexpr const char* kOwnViewMessagePrefix = "Not allowed to register VuRaz native ad view: ";
    static constexpr const char* kAlreadyRegisteredMessage =
        "Failed to register ad view and asset views: please first unregister the previous ad view.";
    static constexpr const char* kAttributionAssetName = "attribution";
    static constexpr const char* kMediaAssetName = "native_ad_media";

    ~DZNativeAdvancedAd() override;

    // The "%p:%@" asset name of a main image.
    [[nodiscard]] static std::string mainImageAssetName(const DZNativeAdImage& image);

    void loadAssetsWithCompletionHandler(AssetCompletion handler) override;
    // The base behaviour, then the overlay shows the slot's page.
    void setSlot(std::shared_ptr<DZSlot> slot) override;

    // A view of the publisher's own with its asset views by asset id; the
    // refusals are logged publicly and change nothing.
    void registerAdView(const std::shared_ptr<ui::View>& adView,
                        const std::optional<AssetViews>& assetViews);
    void unregisterAdView();
    [[nodiscard]] std::shared_ptr<DZNativeAdViewPolicy> nativeAdViewPolicy() const {
        return nativeAdViewPolicy_.lock();
    }

    [[nodiscard]] bool disableImageLoading() const { return disableImageLoading_; }
    // The main images that are ready.
    [[nodiscard]] DZNativeAdImage::Images images() const { return availableNativeAdImages_; }
    [[nodiscard]] const DZNativeAdImage::Images& nativeAdImages() const { return nativeAdImages_; }
    [[nodiscard]] const std::shared_ptr<DZNativeAdAttribution>& attribution() const {
        return attribution_;
    }
    // The first loaded attribution icon.
    [[nodiscard]] const std::shared_ptr<DZNativeAdImage>& adChoicesIcon() const {
        return adChoicesIcon_;
    }
    // The stored view; with an attribution and none stored, a new badge
    // view of it, kept from then on.
    [[nodiscard]] std::shared_ptr<ui::View> adChoicesContentView() override;
    void setAdChoicesContentView(std::shared_ptr<ui::View> view) {
        adChoicesContentView_ = std::move(view);
    }
    [[nodiscard]] std::shared_ptr<DZMediaContentDisplaying> mediaContent() const override {
        return mediaContent_;
    }
    void setMediaContent(std::shared_ptr<DZMediaContentDisplaying> content) {
        mediaContent_ = std::move(content);
    }
    [[nodiscard]] std::shared_ptr<DZVideoController> videoController() const override {
        return videoController_;
    }
    // Dictionary ads only.
    [[nodiscard]] std::shared_ptr<DZOverlayView> overlayView() const override { return overlayView_; }
    [[nodiscard]] bool publisherOwnedAdViewAllowed() const { return publisherOwnedAdViewAllowed_; }

protected:
    // The asset ids of the publisher-owned view's policy.
    struct PolicyAssetNames {
        const char* attributionIcon;
        const char* attributionText;
        const char* background;
    };

    // Reads the image option, "images", "attribution" and "video"; the
    // subclass checks its required fields and then calls finishDictionaryAd.
    DZNativeAdvancedAd(const core::Dictionary& dictionary, const Options& options);
    void finishDictionaryAd(const core::Dictionary& dictionary);
    // An ad around a network's mediated native ad: the image option only;
    // the subclass copies the network ad's assets and then calls
    // finishMediatedAd. No attribution, no overlay, no publisher-owned view.
    DZNativeAdvancedAd(std::shared_ptr<DZMediatedNativeAd> mediatedAd, const Options& options);
    void takeMediatedImages(const DZNativeAdImage::Images& images,
                            std::shared_ptr<ui::View> adChoicesView);
    void finishMediatedAd(std::shared_ptr<DZMediaContentDisplaying> mediaContent);

    // The subclass's own picture and its asset name ("icon", "logo").
    [[nodiscard]] virtual std::shared_ptr<DZNativeAdImage> ownImage() const = 0;
    [[nodiscard]] virtual const char* ownImageAssetName() const = 0;
    [[nodiscard]] virtual PolicyAssetNames policyAssetNames() const = 0;

    [[nodiscard]] static std::optional<std::string> copiedText(const core::Value& value);

    bool disableImageLoading_ = false;
    DZNativeAdImage::Images nativeAdImages_;
    DZNativeAdImage::Images availableNativeAdImages_;
    std::shared_ptr<DZOverlayView> overlayView_;
    std::shared_ptr<DZVideoController> videoController_;
    std::shared_ptr<DZNativeAdAttribution> attribution_;
    std::weak_ptr<DZNativeAdViewPolicy> nativeAdViewPolicy_;
    bool publisherOwnedAdViewAllowed_ = false;
    std::shared_ptr<DZNativeAdImage> adChoicesIcon_;
    std::shared_ptr<DZMediaContentDisplaying> mediaContent_;
    std::shared_ptr<ui::View> adChoicesContentView_;

private:
    void loadImage(const std::shared_ptr<DZNativeAdImage>& image, const std::string& name,
                   bool makeAvailable);
};

}  // namespace ads
