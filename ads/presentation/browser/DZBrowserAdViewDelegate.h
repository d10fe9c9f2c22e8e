#pragma once
// The delegate of the in-app browser's ad view: navigation inside the
// browser is no ad click; it keeps the browser's toolbar current and
// records the landing-page statistics of the clicked ad ("plpnc" and
// "plpsnc" for pages the user opened over HTTP and HTTPS, the first start
// and the last finish of a page load). Main thread.

#include <memory>

#include "ads/web/view/DZAdViewDelegate.h"

namespace ads {

class DZBrowserViewController;

class DZBrowserAdViewDelegate : public DZAdViewDelegate {
public:
    [[nodiscard]] bool handlesClicks() const override { return false; }
    bool adViewDelegateShouldStartLoadWithRequest(DZAdView& adView, const core::URLRequest& request,
                                                  long navigationType) override;
    void adViewDidStartLoad(DZAdView& adView) override;
    void adViewDidFinishLoad(DZAdView& adView) override;
    void didFailLoadWithError(DZAdView& adView, const Error& error) override;
    void adViewDidChangeHistory(DZAdView& adView) override;

    [[nodiscard]] static std::shared_ptr<DZBrowserViewController>
    browserControllerForAdView(DZAdView& adView);
};

}  // namespace ads
