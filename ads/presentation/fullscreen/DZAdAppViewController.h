#pragma once
// The full-screen controller that hosts an HTML ad's view: the interstitial's
// ad, an expanded banner or a second page an expand opened. It owns the
// close button and the ad's custom-close request, applies the orientations
// the ad asks for (through its presenter), switches the audio session to
// play-and-record for an ad that records, keeps the page's MRAID visibility
// and orientation in step with the screen, and gives its ad view a delegate
// of its own (DZAdAppAdViewDelegate).
//
// Without an ad view of its own the controller makes one, with a zero frame
// and this controller as its viewController, when it is first needed. Main
// thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ads/presentation/fullscreen/DZViewController.h"
#include "core/URL.h"
#include "gfx/Image.h"

namespace ui {
class Button;
}

namespace ads {

class DZAdAppAdViewDelegate;
class DZAdView;

// The image redrawn at factor times its size, at the device's scale.
[[nodiscard]] gfx::ImagePtr DZCloseButtonImage(const gfx::ImagePtr& image, double factor);

class DZAdAppViewController : public DZViewController {
public:
    static constexpr const char* kCloseButtonAccessibilityLabel = "Close Advertisement";
    static constexpr const char* kCustomCloseBlockingKey =
        "/dozuza/ads/dzads:custom_close_blocking:enabled";
    static constexpr const char* kCloseButtonScaleKey = "/dozuza/ads/dzads:close_button:scale";
    static constexpr const char* kCloseButtonPaddingKey =
        "/dozuza/ads/dz:interstitial:close_button_padding_dip";
    static constexpr const char* kCustomCloseBlockedMessage =
        "Custom close has been disabled for interstitial ads in this ad slot.";
    static constexpr double kCloseButtonSide = 32;

    explicit DZAdAppViewController(std::shared_ptr<DZAdView> adView = nullptr);
    ~DZAdAppViewController() override;

    // Loads at once into an ad view the controller has; a controller that
    // makes its own loads once its view is built.
    void load(const std::optional<core::URL>& url);
    void loadHTML(const std::optional<std::string>& html, const std::optional<core::URL>& baseURL);

    [[nodiscard]] bool useCustomClose() const { return useCustomClose_; }
    void setUseCustomClose(bool use);
    [[nodiscard]] std::int64_t customClosePosition() const { return customClosePosition_; }
    void setCustomClosePosition(std::int64_t position);
    void closeButtonPressed();

    [[nodiscard]] std::uint64_t adOrientations() const { return adOrientations_; }
    void setAdOrientations(std::uint64_t mask);
    [[nodiscard]] bool adOrientationsOverridesLockedOrientation() const {
        return adOrientationsOverridesLockedOrientation_;
    }
    void setAdOrientationsOverridesLockedOrientation(bool overrides) {
        adOrientationsOverridesLockedOrientation_ = overrides;
    }
    [[nodiscard]] double orientationUpdateAnimationDuration() const {
        return orientationUpdateAnimationDuration_;
    }
    void setOrientationUpdateAnimationDuration(double seconds) {
        orientationUpdateAnimationDuration_ = seconds;
    }
    // 0 for none.
    [[nodiscard]] virtual long forcedAdOrientation() const { return forcedAdOrientation_; }
    void setForcedAdOrientation(long orientation) { forcedAdOrientation_ = orientation; }

    [[nodiscard]] virtual bool isLoaded() const;
    [[nodiscard]] bool shouldDismissOnApplicationEnteringForeground() override;
    void relinquishScreenWithCompletion(std::function<void()> completion) override;
    void viewChangedToOrientation(long orientation) override;
    void didRotateFromInterfaceOrientation(long fromOrientation) override;
    void viewWillLayoutSubviews() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    // Builds the view once: the ad view fills it, the close button is placed,
    // the ad view gets this controller's delegate, and what was waiting loads.
    virtual void configureView();
    void updateCloseButtonVisibilityAndImage();
    void positionCloseButton();
    void positionMRAIDCloseButton();

    [[nodiscard]] std::shared_ptr<DZAdView> adView();
    void setAdView(std::shared_ptr<DZAdView> adView);
    [[nodiscard]] const std::shared_ptr<ui::Button>& closeButton() const { return closeButton_; }
    [[nodiscard]] const std::shared_ptr<DZAdAppAdViewDelegate>& adViewDelegate() const {
        return adViewDelegate_;
    }
    [[nodiscard]] bool viewWasConfigured() const { return viewWasConfigured_; }
    [[nodiscard]] bool viewHasAppearedAtLeastOnce() const { return viewHasAppearedAtLeastOnce_; }
    [[nodiscard]] const std::optional<std::string>& originalAudioSessionCategory() const {
        return originalAudioSessionCategory_;
    }

private:
    [[nodiscard]] bool isMRAIDAd() const;

    bool viewWasConfigured_ = false;
    std::optional<core::URL> URLToLoad_;
    std::optional<std::string> HTMLToLoad_;
    std::optional<core::URL> HTMLBaseURLToLoad_;
    std::optional<std::string> originalAudioSessionCategory_;
    bool viewHasAppearedAtLeastOnce_ = false;
    bool orientationNotifiedToTheAdViewAtLeastOnce_ = false;
    bool useCustomClose_ = false;
    bool adOrientationsOverridesLockedOrientation_ = false;
    std::int64_t customClosePosition_ = 0;
    std::shared_ptr<DZAdView> adView_;
    // The controller makes its own ad view on first use.
    bool makesOwnAdView_ = false;
    long forcedAdOrientation_ = 0;
    std::shared_ptr<ui::Button> closeButton_;
    std::uint64_t adOrientations_ = 0;
    double orientationUpdateAnimationDuration_ = 0;
    std::shared_ptr<DZAdAppAdViewDelegate> adViewDelegate_;
};

}  // namespace ads
