#pragma once
// The banner for search ads. Made with the fluid ad size it holds a
// DZDynamicHeightSearchBannerView instead of a slot and relays its events
// to the banner's own delegates: a received ad, a failure (as a
// DZRequestError), a new height (the size delegate hears the matching
// known size) and a tapped landing page, which it opens outside the app.
// Made with any other size it is a banner like any other.
//
// A landing page whose scheme is file, javascript, data or about is never
// opened: the page of an ad must not reach local files or run script in
// the opener; a console line says so and the delegate hears nothing.
// Main thread.

#include <memory>

#include "ads/presentation/banner/DZBannerView.h"
#include "ads/presentation/banner/DZDynamicHeightSearchBannerView.h"

namespace ads {

class DZSearchBannerView : public DZBannerView, public DZDynamicHeightSearchBannerViewDelegate {
public:
    [[nodiscard]] static std::shared_ptr<DZSearchBannerView> create(const gfx::Rect& frame,
                                                                    const DZAdSize& adSize);
    [[nodiscard]] static std::shared_ptr<DZSearchBannerView>
    createWithAdSize(const DZAdSize& adSize);

    [[nodiscard]] std::string className() const override { return "DZSearchBannerView"; }
    [[nodiscard]] const std::shared_ptr<DZDynamicHeightSearchBannerView>&
    dynamicHeightAdView() const {
        return dynamicHeightAdView_;
    }

    void loadRequest(const std::shared_ptr<DZRequest>& request) override;
    void setAdUnitID(std::optional<std::string> adUnitID) override;
    void setFrame(const gfx::Rect& frame) override;

    // DZDynamicHeightSearchBannerViewDelegate.
    void bannerViewDidReceiveAd(DZDynamicHeightSearchBannerView& view) override;
    void didUpdateDesiredContentSize(DZDynamicHeightSearchBannerView& view,
                                     gfx::Size size) override;
    void didFailToReceiveAdWithError(DZDynamicHeightSearchBannerView& view,
                                     const Error& error) override;
    void didReceiveLandingPageURL(DZDynamicHeightSearchBannerView& view,
                                  const core::URL& url) override;

    DZSearchBannerView(Token token, const gfx::Rect& frame) : DZBannerView(token, frame) {}

protected:
    [[nodiscard]] bool commonInitWithAdSize(const DZAdSize& adSize) override;

private:
    std::shared_ptr<DZDynamicHeightSearchBannerView> dynamicHeightAdView_;
};

}  // namespace ads
