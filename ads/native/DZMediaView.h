#pragma once
// Shows a native ad's media content: its view (the main image before the
// video has loaded, then the ad web view that plays the video) fills this
// view and resizes with it. The intrinsic size is the image's, the video's
// once the player knows it, else the shown view's frame size. Custom
// template ads are refused, and so are ads without media content.
//
// The content is attached on a later main-queue turn, never within
// setNativeAd. Main thread.

#include <memory>

#include "ads/native/DZMediaContent.h"
#include "ui/View.h"

namespace ads {

class DZMediaContentDisplaying;
class DZNativeAd;

class DZMediaView : public ui::View, public DZMediaContentDelegate {
public:
    static constexpr const char* kCustomTemplateRefusal =
        "Failed to set custom template native ad on media view. Not supported.";
    static constexpr const char* kNoMediaContentRefusal =
        "Failed to populate media conent: media content is not available";

    [[nodiscard]] static std::shared_ptr<DZMediaView> create(const gfx::Rect& frame = {});

    void setNativeAd(const std::shared_ptr<DZNativeAd>& nativeAd);
    [[nodiscard]] std::shared_ptr<DZNativeAd> nativeAd() const { return nativeAd_.lock(); }

    void setMediaContent(const std::shared_ptr<DZMediaContentDisplaying>& mediaContent);
    [[nodiscard]] const std::shared_ptr<DZMediaContentDisplaying>& mediaContent() const {
        return mediaContent_;
    }
    // The content's view while it is shown here.
    [[nodiscard]] const std::shared_ptr<ui::View>& mediaView() const { return mediaView_; }

    [[nodiscard]] gfx::Size intrinsicContentSize() const override;
    // The intrinsic size may have changed: the superview lays out again.
    void invalidateIntrinsicContentSize();
    [[nodiscard]] std::uint64_t intrinsicContentSizeInvalidations() const {
        return intrinsicContentSizeInvalidations_;
    }
    void didMoveToWindow() override;

    // DZMediaContentDelegate.
    void mediaContentDidLoadVideoWithSize(DZMediaContent& content, gfx::Size size) override;

    explicit DZMediaView(const gfx::Rect& frame) : ui::View(frame) {}

private:
    std::shared_ptr<ui::View> mediaView_;
    std::shared_ptr<DZMediaContentDisplaying> mediaContent_;
    std::weak_ptr<DZNativeAd> nativeAd_;
    std::uint64_t intrinsicContentSizeInvalidations_ = 0;
};

}  // namespace ads
