#pragma once
// Receives the app events of a banner or an interstitial. Publisher code
// adopts it; option objects hold it weakly. Its calls come with the banner
// and interstitial views that send them.

namespace ads {

class DZAppEventDelegate {
public:
    virtual ~DZAppEventDelegate() = default;
};

}  // namespace ads
