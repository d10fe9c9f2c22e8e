#pragma once
// The delegate of the ad view that shows a native express network's
// template. It is an ad view delegate like any ad page's: the template's
// links, app schemes and messages go through the same navigation policy
// and the same opener, which acts for the slot the template fills (its
// clicks, leaving the app, the slot's owner told). A link counts as a
// click once the template's own ad view has been touched, as a banner's
// once its ad view has. The template's load goes on to the connector that
// loaded it.
//
// Main thread.

#include <memory>

#include "ads/web/view/DZAdViewDelegate.h"

namespace ads {

class DZNativeExpressTemplateAdViewDelegate : public DZAdViewDelegate {
public:
    // loadListener hears the template's finished and failed loads.
    DZNativeExpressTemplateAdViewDelegate(std::weak_ptr<DZSlot> slot,
                                          std::weak_ptr<DZAdView> templateAdView,
                                          std::weak_ptr<DZAdViewDelegateProtocol> loadListener);

    void adViewDidFinishLoad(DZAdView& adView) override;
    void didFailLoadWithError(DZAdView& adView, const Error& error) override;
    [[nodiscard]] std::shared_ptr<DZAdView> clickableAdView(const DZSlot& slot) const override;

private:
    const std::weak_ptr<DZAdView> templateAdView_;
    const std::weak_ptr<DZAdViewDelegateProtocol> loadListener_;
};

}  // namespace ads
