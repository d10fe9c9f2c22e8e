#pragma once
// What the publisher's video controller reads of an HTML ad's video. In-ad
// video is not built yet: the controller keeps the one fact the ad view
// gives it, whether the page has video content. Main thread.

#include <memory>

namespace ads {

class DZAdView;

class DZAdViewVideoController {
public:
    explicit DZAdViewVideoController(std::weak_ptr<DZAdView> adView) : adView_(std::move(adView)) {}

    [[nodiscard]] bool hasVideoContent() const { return hasVideoContent_; }
    void setHasVideoContent(bool hasVideoContent) { hasVideoContent_ = hasVideoContent; }
    [[nodiscard]] std::shared_ptr<DZAdView> adView() const { return adView_.lock(); }

private:
    std::weak_ptr<DZAdView> adView_;
    bool hasVideoContent_ = false;
};

}  // namespace ads
