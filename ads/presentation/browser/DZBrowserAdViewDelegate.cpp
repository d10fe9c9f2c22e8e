#include "ads/presentation/browser/DZBrowserAdViewDelegate.h"

#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZClock.h"
#include "ads/presentation/browser/DZBrowserViewController.h"
#include "ads/web/view/DZBrowserAdView.h"

namespace ads {

namespace {

std::shared_ptr<DZStatisticDictionary> statisticsFor(DZAdView& adView) {
    const auto controller = DZBrowserAdViewDelegate::browserControllerForAdView(adView);
    const auto slot = controller ? controller->slot() : nullptr;
    const auto ad = slot ? slot->ad() : nullptr;
    return ad ? ad->statistics() : nullptr;
}

std::string lowercased(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::shared_ptr<DZBrowserViewController>
DZBrowserAdViewDelegate::browserControllerForAdView(DZAdView& adView) {
    const auto* browserAdView = dynamic_cast<DZBrowserAdView*>(&adView);
    return browserAdView ? browserAdView->browserViewController() : nullptr;
}

bool DZBrowserAdViewDelegate::adViewDelegateShouldStartLoadWithRequest(
    DZAdView& adView, const core::URLRequest& request, long navigationType) {
    constexpr long kLinkClicked = 0;
    constexpr long kFormSubmitted = 1;
    if ((navigationType == kLinkClicked || navigationType == kFormSubmitted) &&
        dynamic_cast<DZBrowserAdView*>(&adView)) {
        const std::string scheme = lowercased(request.url().scheme());
        if (const auto statistics = statisticsFor(adView)) {
            if (scheme == "http") statistics->incrementNumberForKey("plpnc", true);
            if (scheme == "https") statistics->incrementNumberForKey("plpsnc", true);
        }
    }
    return DZAdViewDelegate::adViewDelegateShouldStartLoadWithRequest(adView, request,
                                                                      navigationType);
}

void DZBrowserAdViewDelegate::adViewDidStartLoad(DZAdView& adView) {
    if (dynamic_cast<DZBrowserAdView*>(&adView)) {
        const auto statistics = statisticsFor(adView);
        if (statistics && statistics->objectForKeyedSubscript("tlanding_page_load_start").isNull())
            statistics->setObject(core::Value(DZMonotonicMilliseconds()),
                                  "tlanding_page_load_start", true);
    }
    DZAdViewDelegate::adViewDidStartLoad(adView);
    if (const auto controller = browserControllerForAdView(adView)) controller->refreshToolbar();
}

void DZBrowserAdViewDelegate::adViewDidFinishLoad(DZAdView& adView) {
    if (dynamic_cast<DZBrowserAdView*>(&adView))
        if (const auto statistics = statisticsFor(adView))
            statistics->setObject(core::Value(DZMonotonicMilliseconds()), "tlanding_page_load_end",
                                  true);
    DZAdViewDelegate::adViewDidFinishLoad(adView);
    if (const auto controller = browserControllerForAdView(adView)) controller->refreshToolbar();
}

void DZBrowserAdViewDelegate::didFailLoadWithError(DZAdView& adView, const Error& error) {
    DZAdViewDelegate::didFailLoadWithError(adView, error);
    if (const auto controller = browserControllerForAdView(adView)) controller->refreshToolbar();
}

void DZBrowserAdViewDelegate::adViewDidChangeHistory(DZAdView& adView) {
    DZAdViewDelegate::adViewDidChangeHistory(adView);
    if (const auto controller = browserControllerForAdView(adView)) controller->refreshToolbar();
}

}  // namespace ads
