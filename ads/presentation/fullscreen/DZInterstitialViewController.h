#pragma once
// Shows the HTML ad of an interstitial slot full screen (rewarded ads that
// render as HTML too). On top of the ad app controller it tells the page
// when it is shown ("onshow", once the presentation has ended) and hidden
// ("onhide", before the dismissal starts), reports the ad's layout to the
// URL stash, names the screen "<host screen>/Interstitial" (or "/Rewarded")
// for the host's analytics once, and closes the ad when a split-screen
// window becomes too small for it. The ad view is dropped after each
// dismissal, so a controller is shown once. Main thread.

#include <memory>
#include <optional>
#include <string>

#include "ads/presentation/fullscreen/DZAdAppViewController.h"

namespace ads {

class DZInterstitialViewController : public DZAdAppViewController {
public:
    static constexpr const char* kScreenEnabledKey =
        "/dozuza/ads/dzads:sai:interstitial_screen_enabled";
    static constexpr const char* kWindowTooSmallMessage =
        "Window size has changed and is too small for the interstitial. Ad will close.";

    // nullptr without a slot. The slot's ad view is shown and takes this
    // controller as its viewController.
    [[nodiscard]] static std::shared_ptr<DZInterstitialViewController>
    create(const std::shared_ptr<DZSlot>& slot);
    explicit DZInterstitialViewController(std::shared_ptr<DZAdView> adView);

    // Does nothing (false, no completion) when the slot has no placement.
    bool presentFromViewController(const std::shared_ptr<ui::ViewController>& presenting,
                                   std::function<void()> completion) override;
    [[nodiscard]] bool isLoaded() const override;
    void finishAppearing() override;
    void relinquishScreenWithCompletion(std::function<void()> completion) override;
    void finishDismissal() override;
    void viewWillTransitionToSize(gfx::Size size) override;

    [[nodiscard]] const std::optional<std::string>& previousScreenName() const {
        return previousScreenName_;
    }
    [[nodiscard]] const std::optional<std::string>& previousScreenClass() const {
        return previousScreenClass_;
    }
    [[nodiscard]] bool hasSetScreenName() const { return hasSetScreenName_; }

private:
    void reportScreenName();

    std::optional<std::string> previousScreenName_;
    std::optional<std::string> previousScreenClass_;
    bool hasSetScreenName_ = false;
};

}  // namespace ads
