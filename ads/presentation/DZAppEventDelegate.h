#pragma once
// Receives the app events of a banner or an interstitial. Publisher code
// adopts it; option objects hold it weakly. Its calls come with the banner
// and interstitial views that send them.

#include <optional>
#include <string>

namespace ads {

class DZBannerView;
class DZInterstitial;

class DZAppEventDelegate {
public:
    virtual ~DZAppEventDelegate() = default;
    // An app event of a publisher-server interstitial. Main thread.
    virtual void didReceiveAppEvent(DZInterstitial& interstitial, const std::string& name,
                                    const std::optional<std::string>& info) {
        (void)interstitial, (void)name, (void)info;
    }
    // An app event of a publisher-server banner. Main thread.
    virtual void didReceiveAppEvent(DZBannerView& banner, const std::string& name,
                                    const std::optional<std::string>& info) {
        (void)banner, (void)name, (void)info;
    }
};

}  // namespace ads
