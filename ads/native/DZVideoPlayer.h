#pragma once
// The in-ad video player of an ad view. Video playback is not built yet: a
// player knows its ad view and plays nothing. Main thread.

#include <memory>

namespace ads {

class DZAdView;

class DZVideoPlayer {
public:
    explicit DZVideoPlayer(std::weak_ptr<DZAdView> adView) : adView_(std::move(adView)) {}

    [[nodiscard]] std::shared_ptr<DZAdView> adView() const { return adView_.lock(); }

private:
    std::weak_ptr<DZAdView> adView_;
};

}  // namespace ads
