#pragma once
// The publisher's container for a content ad: the app lays out its asset
// views inside it, connects each to its outlet and sets the ad. The view's
// own policy (made with the view, the content asset ids and "not owned by
// the publisher") tracks taps, impressions and visibility. The outlets are
// weak: the app's view tree owns the asset views. Main thread.

#include <memory>

#include "ui/View.h"

namespace ads {

class DZAdChoicesView;
class DZMediaView;
class DZNativeAdViewPolicy;
class DZNativeContentAd;

class DZNativeContentAdView : public ui::View {
public:
    // nullptr only when the policy cannot be made.
    [[nodiscard]] static std::shared_ptr<DZNativeContentAdView> create(const gfx::Rect& frame = {});

    void setNativeContentAd(const std::shared_ptr<DZNativeContentAd>& ad);
    [[nodiscard]] std::shared_ptr<DZNativeContentAd> nativeContentAd() const;
    [[nodiscard]] const std::shared_ptr<DZNativeAdViewPolicy>& nativeAdViewPolicy() const {
        return nativeAdViewPolicy_;
    }

    void setHeadlineView(const std::shared_ptr<ui::View>& view);
    void setBodyView(const std::shared_ptr<ui::View>& view);
    void setCallToActionView(const std::shared_ptr<ui::View>& view);
    void setAdvertiserView(const std::shared_ptr<ui::View>& view);
    void setImageView(const std::shared_ptr<ui::View>& view);
    void setLogoView(const std::shared_ptr<ui::View>& view);
    void setMediaView(const std::shared_ptr<DZMediaView>& view);
    void setAdChoicesView(const std::shared_ptr<DZAdChoicesView>& view);
    [[nodiscard]] std::shared_ptr<ui::View> headlineView() const { return headlineView_.lock(); }
    [[nodiscard]] std::shared_ptr<ui::View> bodyView() const { return bodyView_.lock(); }
    [[nodiscard]] std::shared_ptr<ui::View> callToActionView() const {
        return callToActionView_.lock();
    }
    [[nodiscard]] std::shared_ptr<ui::View> advertiserView() const {
        return advertiserView_.lock();
    }
    [[nodiscard]] std::shared_ptr<ui::View> imageView() const { return imageView_.lock(); }
    [[nodiscard]] std::shared_ptr<ui::View> logoView() const { return logoView_.lock(); }
    [[nodiscard]] std::shared_ptr<DZMediaView> mediaView() const;
    [[nodiscard]] std::shared_ptr<DZAdChoicesView> adChoicesView() const;

    // Reports whether a media view shows the ad's video, then gives the
    // media view the ad's media content on the next main-queue turn.
    void updateMediaView();

    void layoutSubviews() override;
    void didMoveToSuperview() override;

    explicit DZNativeContentAdView(const gfx::Rect& frame) : ui::View(frame) {}

private:
    bool commonInit();

    std::shared_ptr<DZNativeAdViewPolicy> nativeAdViewPolicy_;
    std::weak_ptr<ui::View> headlineView_;
    std::weak_ptr<ui::View> bodyView_;
    std::weak_ptr<ui::View> callToActionView_;
    std::weak_ptr<ui::View> advertiserView_;
    std::weak_ptr<ui::View> imageView_;
    std::weak_ptr<ui::View> logoView_;
    std::weak_ptr<ui::View> mediaView_;
    std::weak_ptr<ui::View> adChoicesView_;
};

}  // namespace ads
