#pragma once
// A native ad of a template the publisher defined on the ad server: its
// template id and named assets the app reads by name (texts, images, and
// "_videoMediaView" once the video is ready), shows in views of its own and
// reports clicks on by name. Template id "3". The loader asks the delegate
// for the template ids it takes and delivers only ads of those templates.
//
// Clicks may be taken over by the app's custom click handler, which the
// creative calls through its page's "nativeAdCustomClick" message; the
// older handler of performClickOnAssetWithKey(key, handler) is a one-shot,
// cleared when it runs or when a click names an unavailable asset.
//
// Threading: main thread. The two handlers live on the serial queue
// "com.dozuza.vuraz.custom-template"; handlers always run on the main
// queue.

#include <functional>
#include <map>
#include <set>

#include "ads/mediation/core/DZMediatedNativeAdProtocol.h"
#include "ads/native/DZNativeAd.h"
#include "ads/native/DZNativeAdImage.h"
#include "core/NotificationCenter.h"

namespace ui {
class View;
}

namespace ads {

class DZMediaContent;
class DZMediaContentDisplaying;
class DZMediaView;
class DZVideoController;

// There is no mediated custom template ad: the class makes no ad around a
// mediated one.
class DZNativeCustomTemplateAd final : public DZNativeAd, public DZMediatedNativeCustomTemplateAd {
public:
    using CustomClickHandler = std::function<void(const std::string& assetName)>;
    using DeprecatedClickHandler = std::function<void()>;

    static constexpr const char* kClassName = "DZNativeCustomTemplateAd";
    static constexpr const char* kVideoMediaViewAssetName = "_videoMediaView";
    static constexpr const char* kMediaAssetName = "native_ad_media";
    static constexpr const char* kCustomClickMessage = "nativeAdCustomClick";

    // nullptr when "custom_template_id" is neither a text nor a number.
    [[nodiscard]] static std::shared_ptr<DZNativeCustomTemplateAd>
    create(const core::Dictionary& dictionary, const Options& options);
    [[nodiscard]] static const DZLoadableClass& adClass();
    ~DZNativeCustomTemplateAd() override;

    [[nodiscard]] std::string adFormatTemplateID() const override { return "3"; }
    // The base check, and "custom_template_ids" of the parameters holds this
    // ad's template id.
    [[nodiscard]] bool hasValidConfigurationForRequestParameters(
        const core::Dictionary& parameters) const override;
    [[nodiscard]] const DZLoadableClass& loadableClass() const override { return adClass(); }
    void adLoaderDidReceiveAd(DZAdLoader& loader) override;
    void loadAssetsWithCompletionHandler(AssetCompletion handler) override;
    // Moves the "nativeAdCustomClick" observation to the new slot's page.
    void setSlot(std::shared_ptr<DZSlot> slot) override;

    [[nodiscard]] const std::string& templateID() const { return templateID_; }
    // Sorted case-insensitively.
    [[nodiscard]] std::vector<std::string> availableAssetKeys() const;
    // nullopt for unknown names and for "string" assets whose value was no
    // text.
    [[nodiscard]] std::optional<std::string> stringForKey(const std::string& key) const;
    // nullptr until the image is available.
    [[nodiscard]] std::shared_ptr<DZNativeAdImage> imageForKey(const std::string& key) const;
    // The media view (a DZMediaView) while the video controller reports
    // video content.
    [[nodiscard]] std::shared_ptr<ui::View> mediaView() const override;
    [[nodiscard]] std::shared_ptr<DZVideoController> videoController() const override {
        return videoController_;
    }
    [[nodiscard]] std::shared_ptr<DZMediaContentDisplaying> mediaContent() const override;
    [[nodiscard]] const std::map<std::string, std::shared_ptr<DZNativeAdImage>>& requiredImages()
        const {
        return requiredImages_;
    }
    [[nodiscard]] const std::map<std::string, std::shared_ptr<DZNativeAdImage>>& optionalImages()
        const {
        return optionalImages_;
    }

    [[nodiscard]] CustomClickHandler customClickHandler() const;
    // Stored on a later turn of the lock queue.
    void setCustomClickHandler(CustomClickHandler handler);

    void performClickOnAssetWithKey(const std::string& key);
    // The older form: the handler runs once, when the creative answers the
    // click; a second call while one waits is logged and ignored.
    void performClickOnAssetWithKey(const std::string& key, DeprecatedClickHandler handler);
    void recordImpression();

    // "<DZNativeCustomTemplateAd: 0x..., availableAssetKeys:[a, b]>".
    [[nodiscard]] std::string description() const;

private:
    DZNativeCustomTemplateAd(const core::Dictionary& dictionary, const Options& options,
                             std::string templateID);

    void makeImageAvailable(const std::string& name, const std::shared_ptr<DZNativeAdImage>& image);
    void loadImage(const std::string& name, const std::shared_ptr<DZNativeAdImage>& image);
    void loadVideo();
    void handleCustomClick(const core::Notification& notification);
    void observeVideoClicks();

    std::string templateID_;
    std::map<std::string, std::string> stringAssets_;
    std::map<std::string, std::shared_ptr<DZNativeAdImage>> requiredImages_;
    std::map<std::string, std::shared_ptr<DZNativeAdImage>> optionalImages_;
    std::map<std::string, std::shared_ptr<DZNativeAdImage>> imageAssets_;
    std::set<std::string> availableAssetKeys_;
    std::shared_ptr<DZMediaContent> mediaContent_;
    std::shared_ptr<DZMediaView> mediaView_;
    std::shared_ptr<DZVideoController> videoController_;
    // The two handlers, touched on the lock queue only. The queue's blocks
    // hold them rather than the ad, so that the ad never ends there.
    struct ClickHandlers {
        CustomClickHandler custom;
        DeprecatedClickHandler deprecated;
    };
    std::shared_ptr<ClickHandlers> clickHandlers_ = std::make_shared<ClickHandlers>();
    bool disableImageLoading_ = false;
    std::shared_ptr<core::Queue> lockQueue_;
    core::NotificationCenter::Token customClickToken_;
    core::NotificationCenter::Token videoClickToken_;
};

}  // namespace ads
