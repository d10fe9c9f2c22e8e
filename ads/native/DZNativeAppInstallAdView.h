#pragma once
// The publisher's container for an app install ad: the app lays out its
// asset views inside it, connects each to its outlet and sets the ad. The
// view's own policy (made with the view, the app install asset ids and
// "not owned by the publisher") tracks taps, impressions and visibility.
// The outlets are weak: the app's view tree owns the asset views.
// Main thread.

#include <memory>

#include "ui/View.h"

namespace ads {

class DZAdChoicesView;
class DZMediaView;
class DZNativeAdViewPolicy;
class DZNativeAppInstallAd;

class DZNativeAppInstallAdView : public ui::View {
public:
    // nullptr only when the policy cannot be made.
    [[nodiscard]] static std::shared_ptr<DZNativeAppInstallAdView>
    create(const gfx::Rect& frame = {});

    void setNativeAppInstallAd(const std::shared_ptr<DZNativeAppInstallAd>& ad);
    [[nodiscard]] std::shared_ptr<DZNativeAppInstallAd> nativeAppInstallAd() const;
    [[nodiscard]] const std::shared_ptr<DZNativeAdViewPolicy>& nativeAdViewPolicy() const {
        return nativeAdViewPolicy_;
    }

    void setHeadlineView(const std::shared_ptr<ui::View>& view);
    void setCallToActionView(const std::shared_ptr<ui::View>& view);
    void setIconView(const std::shared_ptr<ui::View>& view);
    void setBodyView(const std::shared_ptr<ui::View>& view);
    void setStoreView(const std::shared_ptr<ui::View>& view);
    void setPriceView(const std::shared_ptr<ui::View>& view);
    void setImageView(const std::shared_ptr<ui::View>& view);
    void setStarRatingView(const std::shared_ptr<ui::View>& view);
    void setMediaView(const std::shared_ptr<DZMediaView>& view);
    void setAdChoicesView(const std::shared_ptr<DZAdChoicesView>& view);
    [[nodiscard]] std::shared_ptr<ui::View> headlineView() const { return headlineView_.lock(); }
    [[nodiscard]] std::shared_ptr<ui::View> callToActionView() const {
        return callToActionView_.lock();
    }
    [[nodiscard]] std::shared_ptr<ui::View> iconView() const { return iconView_.lock(); }
    [[nodiscard]] std::shared_ptr<ui::View> bodyView() const { return bodyView_.lock(); }
    [[nodiscard]] std::shared_ptr<ui::View> storeView() const { return storeView_.lock(); }
    [[nodiscard]] std::shared_ptr<ui::View> priceView() const { return priceView_.lock(); }
    [[nodiscard]] std::shared_ptr<ui::View> imageView() const { return imageView_.lock(); }
    [[nodiscard]] std::shared_ptr<ui::View> starRatingView() const {
        return starRatingView_.lock();
    }
    [[nodiscard]] std::shared_ptr<DZMediaView> mediaView() const;
    [[nodiscard]] std::shared_ptr<DZAdChoicesView> adChoicesView() const;

    // Reports whether a media view shows the ad's video, then gives the
    // media view the ad's media content on the next main-queue turn.
    void updateMediaView();

    void layoutSubviews() override;
    void didMoveToSuperview() override;

    explicit DZNativeAppInstallAdView(const gfx::Rect& frame) : ui::View(frame) {}

private:
    bool commonInit();

    std::shared_ptr<DZNativeAdViewPolicy> nativeAdViewPolicy_;
    std::weak_ptr<ui::View> headlineView_;
    std::weak_ptr<ui::View> callToActionView_;
    std::weak_ptr<ui::View> iconView_;
    std::weak_ptr<ui::View> bodyView_;
    std::weak_ptr<ui::View> storeView_;
    std::weak_ptr<ui::View> priceView_;
    std::weak_ptr<ui::View> imageView_;
    std::weak_ptr<ui::View> starRatingView_;
    std::weak_ptr<ui::View> mediaView_;
    std::weak_ptr<ui::View> adChoicesView_;
};

}  // namespace ads
