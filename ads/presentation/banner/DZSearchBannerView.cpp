#include "ads/presentation/banner/DZSearchBannerView.h"

#include "ads/presentation/DZAdSizeDelegate.h"
#include "ads/presentation/banner/DZBannerViewDelegate.h"
#include "core/Console.h"
#include "store/URLOpener.h"

namespace ads {

namespace {

// Schemes a landing page may not have.
bool isRefusedLandingScheme(const core::URL& url) {
    for (const char* scheme : {"file", "javascript", "data", "about"})
        if (url.hasScheme(scheme)) return true;
    return false;
}

}  // namespace

std::shared_ptr<DZSearchBannerView> DZSearchBannerView::create(const gfx::Rect& frame,
                                                               const DZAdSize& adSize) {
    return make<DZSearchBannerView>(frame, adSize);
}

std::shared_ptr<DZSearchBannerView> DZSearchBannerView::createWithAdSize(const DZAdSize& adSize) {
    return create(gfx::Rect{}, adSize);
}

bool DZSearchBannerView::commonInitWithAdSize(const DZAdSize& adSize) {
    if (!DZAdSizesEqual(adSize, kDZAdSizeFluid)) return DZBannerView::commonInitWithAdSize(adSize);
    dynamicHeightAdView_ =
        DZDynamicHeightSearchBannerView::create({0, 0, bounds().size.width, bounds().size.height});
    if (!dynamicHeightAdView_) return false;
    dynamicHeightAdView_->setAutoresizingMask(2);
    dynamicHeightAdView_->setDelegate(
        std::static_pointer_cast<DZDynamicHeightSearchBannerViewDelegate>(
            std::static_pointer_cast<DZSearchBannerView>(shared_from_this())));
    addSubview(dynamicHeightAdView_);
    return true;
}

void DZSearchBannerView::loadRequest(const std::shared_ptr<DZRequest>& request) {
    if (dynamicHeightAdView_)
        dynamicHeightAdView_->loadRequest(request);
    else
        DZBannerView::loadRequest(request);
}

void DZSearchBannerView::setAdUnitID(std::optional<std::string> adUnitID) {
    DZBannerView::setAdUnitID(adUnitID);
    if (dynamicHeightAdView_) dynamicHeightAdView_->setAdUnitID(std::move(adUnitID));
}

void DZSearchBannerView::setFrame(const gfx::Rect& frame) {
    DZBannerView::setFrame(frame);
    if (dynamicHeightAdView_)
        dynamicHeightAdView_->setHidden(frame.size.width == 0 || frame.size.height == 0);
}

void DZSearchBannerView::bannerViewDidReceiveAd(DZDynamicHeightSearchBannerView&) {
    if (const auto delegate = this->delegate()) delegate->adViewDidReceiveAd(*this);
}

void DZSearchBannerView::didUpdateDesiredContentSize(DZDynamicHeightSearchBannerView& view,
                                                     gfx::Size size) {
    view.setFrame({{0, 0}, size});
    if (const auto sizeDelegate = adSizeDelegate())
        sizeDelegate->willChangeAdSizeTo(*this, DZAdSizeMatchKnownSize(size));
}

void DZSearchBannerView::didFailToReceiveAdWithError(DZDynamicHeightSearchBannerView&,
                                                     const Error& error) {
    if (const auto delegate = this->delegate())
        delegate->didFailToReceiveAdWithError(*this, DZRequestErrorFromError(error));
}

void DZSearchBannerView::didReceiveLandingPageURL(DZDynamicHeightSearchBannerView&,
                                                  const core::URL& url) {
    if (isRefusedLandingScheme(url)) {
        core::Console::log("Refused to open the search ad's landing page " + url.absoluteString());
        return;
    }
    store::URLOpener::shared().open(url);
    if (const auto delegate = this->delegate()) delegate->adViewWillLeaveApplication(*this);
}

}  // namespace ads
