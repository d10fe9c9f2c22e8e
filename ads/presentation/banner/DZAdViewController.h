#pragma once
// A ready-made screen with a banner pinned to its top or bottom. The
// publisher gives it a content view (setView), an ad unit identifier and a
// request; the controller wraps the content view in a container of its
// own, adds a smart banner (a ZODBannerView for a ZODRequest, else a
// DZBannerView) once its view is loaded and the identifier is known, and
// moves it with layout constraints:
// - the banner sits just outside the screen edge (20 points further at the
//   top) until its first ad arrives, and the content gives up the banner's
//   height on that side while it is shown;
// - the publisher may hide it (showing it again loads a new ad, and the
//   banner comes back with that ad);
// - with allowsHidingAds a rightward swipe on the banner hides it for 5
//   seconds on the clock, then the banner loads again and comes back with
//   the next ad; swipes during the pause do nothing;
// - a turn between portrait and landscape hides it and gives it the smart
//   banner size of the new orientation.
// Main thread; the end of a swipe's pause runs on the main queue.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ads/core/request/DZAdSize.h"
#include "ads/presentation/banner/DZBannerViewDelegate.h"
#include "ui/ViewController.h"

namespace ui {
class GestureRecognizer;
}

namespace ads {

class DZBannerView;
class DZRequest;

class DZAdViewController : public ui::ViewController, public DZBannerViewDelegate {
public:
    enum VerticalPosition : std::int64_t { kPositionBottom = 0, kPositionTop = 1 };
    enum HorizontalPosition : std::int64_t {
        kPositionLeading = 0,
        kPositionCenter = 1,
        kPositionTrailing = 2,
    };
    // How far above the screen's top edge a hidden top banner waits.
    static constexpr double kTopHiddenMargin = 20;
    static constexpr double kVisibilityAnimationDuration = 0.5;
    static constexpr double kSwipePauseSeconds = 5;

    DZAdViewController();

    // The publisher's content view, wrapped in the controller's container,
    // which becomes the controller's view. Hides ui::ViewController's.
    void setView(std::shared_ptr<ui::View> view);
    [[nodiscard]] const std::shared_ptr<ui::View>& originalContentView() const {
        return originalContentView_;
    }
    [[nodiscard]] const std::shared_ptr<ui::View>& contentView() const { return contentView_; }

    [[nodiscard]] const std::optional<std::string>& adViewAdUnitID() const {
        return adViewAdUnitID_;
    }
    void setAdViewAdUnitID(std::optional<std::string> adUnitID);
    [[nodiscard]] const std::shared_ptr<DZRequest>& request() const { return request_; }
    void setRequest(std::shared_ptr<DZRequest> request);
    [[nodiscard]] std::int64_t adViewPositionVertical() const { return adViewPositionVertical_; }
    void setAdViewPositionVertical(std::int64_t position);
    [[nodiscard]] std::int64_t adViewPositionHorizontal() const {
        return adViewPositionHorizontal_;
    }
    void setAdViewPositionHorizontal(std::int64_t position);
    // The size of the next banner made; the current banner keeps its own.
    [[nodiscard]] const DZAdSize& adSize() const { return adSize_; }
    void setAdSize(const DZAdSize& adSize) { adSize_ = adSize; }
    [[nodiscard]] bool animatesVisibility() const { return animatesVisibility_; }
    void setAnimatesVisibility(bool animates) { animatesVisibility_ = animates; }
    [[nodiscard]] bool adViewHidden() const { return adViewHidden_; }
    void setAdViewHidden(bool hidden);
    [[nodiscard]] bool allowsHidingAds() const { return allowsHidingAds_; }
    void setAllowsHidingAds(bool allows);

    [[nodiscard]] const std::shared_ptr<DZBannerView>& bannerView() const { return bannerView_; }
    [[nodiscard]] bool hasReceivedValidAd() const { return hasReceivedValidAd_; }
    [[nodiscard]] bool handlingSwipe() const { return handlingSwipe_; }
    [[nodiscard]] const std::shared_ptr<ui::GestureRecognizer>& swipeRecognizer() const {
        return swipeRecognizer_;
    }
    [[nodiscard]] const ui::LayoutConstraintPtr& bannerPositionConstraintVertical() const {
        return bannerPositionConstraintVertical_;
    }
    [[nodiscard]] const ui::LayoutConstraintPtr& bannerPositionConstraintHorizontal() const {
        return bannerPositionConstraintHorizontal_;
    }
    [[nodiscard]] const ui::LayoutConstraintPtr& topConstraint() const { return topConstraint_; }
    [[nodiscard]] const ui::LayoutConstraintPtr& bottomConstraint() const {
        return bottomConstraint_;
    }

    // ui::ViewController.
    void loadView() override;
    void viewDidLoad() override;
    void willRotateToInterfaceOrientation(long orientation, double duration) override;
    void didRotateFromInterfaceOrientation(long fromOrientation) override;

    // DZBannerViewDelegate.
    void adViewDidReceiveAd(DZBannerView& view) override;

    // Runs the swipe's pause as a recognised swipe on the banner does.
    void bannerSwiped();

private:
    void setUpBannerViewIfNeeded();
    void setUpPositionConstraints();
    void updateAdViewHidden(bool hidden);
    void updateLayout();
    void bannerPositionUpdated();
    void resetContentViewConstraints();

    ui::LayoutConstraintPtr bannerPositionConstraintVertical_;
    ui::LayoutConstraintPtr bannerPositionConstraintHorizontal_;
    ui::LayoutConstraintPtr topConstraint_;
    ui::LayoutConstraintPtr bottomConstraint_;
    ui::LayoutConstraintPtr leadingConstraint_;
    ui::LayoutConstraintPtr trailingConstraint_;
    std::shared_ptr<ui::View> contentView_;
    std::shared_ptr<ui::GestureRecognizer> swipeRecognizer_;
    bool handlingSwipe_ = false;
    bool hasReceivedValidAd_ = false;
    std::shared_ptr<DZBannerView> bannerView_;
    bool animatesVisibility_ = true;
    bool adViewHidden_ = false;
    bool allowsHidingAds_ = false;
    std::shared_ptr<ui::View> originalContentView_;
    std::optional<std::string> adViewAdUnitID_;
    std::shared_ptr<DZRequest> request_;
    std::int64_t adViewPositionVertical_ = kPositionBottom;
    std::int64_t adViewPositionHorizontal_ = kPositionCenter;
    DZAdSize adSize_ = kDZAdSizeSmartBannerPortrait;
};

}  // namespace ads
