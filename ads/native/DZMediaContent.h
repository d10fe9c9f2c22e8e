#pragma once
// The video of a native ad: before loading, a placeholder image view (the
// ad's first main image); loading opens the native video support page in
// a hidden slot of its own and hands the ad's "video" dictionary to the
// page (dozuza.duzo.nativeAds.renderVideo) once the page's script is
// ready; from then on the view is that slot's ad view, where the page plays
// the video, and the video controller is that ad view's.
//
// One outcome per load reaches its handler, always on the main queue: the
// page loaded, it failed, or the time limit ("/dozuza/ads/dzads:
// native_video_load_timeout", 10 s by default) passed first. Each load has
// a generation: a time-out check acts only for the load that scheduled it,
// so an old check cannot fail a newer load.
//
// Threading: main thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "ads/core/request/DZError.h"
#include "ads/core/slot/DZSlotAdEventDelegate.h"
#include "ads/core/slot/DZSlotAdLoadDelegate.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/native/DZMediaContentDisplaying.h"
#include "core/URL.h"
#include "core/Value.h"

namespace ui {
class ImageView;
class View;
}  // namespace ui

namespace ads {

class DZAdViewVideoController;
class DZNativeAdImage;
class DZSlot;
class DZVideoOptions;
class DZMediaContent;

class DZMediaContentDelegate {
public:
    virtual ~DZMediaContentDelegate() = default;
    virtual void mediaContentDidLoadVideoWithSize(DZMediaContent& content, gfx::Size size) {
        (void)content, (void)size;
    }
};

class DZMediaContent : public DZMediaContentDisplaying,
                       public DZSlotAdEventDelegate,
                       public DZSlotAdLoadDelegate,
                       public DZSlotDelegate,
                       public std::enable_shared_from_this<DZMediaContent> {
public:
    using Completion = DZMediaContentDisplaying::Completion;

    static constexpr std::string_view kVideoSupportURLKey =
        "/dozuza/ads/native_ad_video_support_url";
    static constexpr std::string_view kVideoSupportPath =
        "/mads/static/mad/sdk/native/native_video_ads.html";
    static constexpr std::string_view kLoadTimeoutKey =
        "/dozuza/ads/dzads:native_video_load_timeout";
    static constexpr std::string_view kScrollViewDisableKey =
        "/dozuza/ads/dz:media_view_scrollview_disable";
    static constexpr double kDefaultLoadTimeout = 10;

    [[nodiscard]] static core::URL videoSupportURL();
    // nullptr when the slot cannot be made; a missing video dictionary is
    // fine (loads then fail).
    [[nodiscard]] static std::shared_ptr<DZMediaContent> create(
        std::optional<core::Dictionary> videoDictionary,
        std::shared_ptr<DZNativeAdImage> placeholderImage,
        std::shared_ptr<const DZVideoOptions> videoOptions);
    ~DZMediaContent() override;

    void loadVideoWithCompletionHandler(Completion handler) override;
    // Before loading the placeholder image view (nullptr without a
    // picture), after it the slot's ad view.
    [[nodiscard]] std::shared_ptr<ui::View> mediaView() override;
    // The ad view's controller once loaded; nullptr before.
    [[nodiscard]] std::shared_ptr<DZAdViewVideoController> adViewVideoController() const;
    [[nodiscard]] std::shared_ptr<DZVideoControlling> videoController() const override;

    [[nodiscard]] bool hasLoaded() const { return hasLoaded_; }
    [[nodiscard]] const std::shared_ptr<DZSlot>& slot() const { return slot_; }
    [[nodiscard]] std::shared_ptr<DZMediaContentDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZMediaContentDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // DZSlotDelegate.
    [[nodiscard]] std::optional<gfx::Rect> frameInInterface() const override;
    // DZSlotAdEventDelegate.
    void didLoadVideoWithSize(DZSlot& slot, gfx::Size size) override;
    // DZSlotAdLoadDelegate.
    void slotFinishedLoadingAdContent(DZSlot& slot) override;
    void didFailToLoadAdContentWithError(DZSlot& slot, const Error& error) override;

private:
    struct Token {};

public:
    explicit DZMediaContent(Token) {}

private:
    void handleJavaScriptLoaded();
    void notifyVideoLoadCompletedWithError(const std::optional<Error>& error);

    std::optional<core::Dictionary> configuration_;
    std::shared_ptr<DZNativeAdImage> placeholderImage_;
    std::shared_ptr<ui::ImageView> placeholderImageView_;
    std::shared_ptr<const DZVideoOptions> videoOptions_;
    std::shared_ptr<DZSlot> slot_;
    bool hasLoaded_ = false;
    Completion completionHandler_;
    std::uint64_t loadGeneration_ = 0;
    std::weak_ptr<DZMediaContentDelegate> delegate_;
};

}  // namespace ads
