#pragma once
// Shows a banner's own ad view full screen (an MRAID expand without a URL):
// the banner's place keeps a snapshot of the ad while the ad view is away,
// and giving the screen back puts the ad view back where it was. Main
// thread.

#include <memory>

#include "ads/presentation/fullscreen/DZAdAppViewController.h"

namespace ui {
class ImageView;
}

namespace ads {

class DZExpandedAdAppViewController : public DZAdAppViewController {
public:
    // nullptr without an ad view.
    [[nodiscard]] static std::shared_ptr<DZExpandedAdAppViewController>
    create(const std::shared_ptr<DZAdView>& adView);
    explicit DZExpandedAdAppViewController(std::shared_ptr<DZAdView> adView);
    ~DZExpandedAdAppViewController() override;

    [[nodiscard]] bool isLoaded() const override { return true; }
    void configureView() override;
    void relinquishScreenWithCompletion(std::function<void()> completion) override;

    [[nodiscard]] const std::shared_ptr<ui::ImageView>& renderedBanner() const {
        return renderedBanner_;
    }

private:
    std::shared_ptr<ui::ImageView> renderedBanner_;
};

}  // namespace ads
