#include "ads/web/view/DZAdViewDelegateProtocol.h"

namespace ads {

bool DZAdViewDelegateProtocol::shouldStartLoadWithRequest(DZAdView&, const core::URLRequest&,
                                                          long) {
    return true;
}

void DZAdViewDelegateProtocol::adViewDidStartLoad(DZAdView&) {}

void DZAdViewDelegateProtocol::adViewDidFinishLoad(DZAdView&) {}

void DZAdViewDelegateProtocol::didFailLoadWithError(DZAdView&, const Error&) {}

void DZAdViewDelegateProtocol::adViewWebProcessDidTerminate(DZAdView&) {}

void DZAdViewDelegateProtocol::adViewDidChangeHistory(DZAdView&) {}

void DZAdViewDelegateProtocol::didMoveToPlacement(DZAdView&, const std::shared_ptr<const void>&) {}

void DZAdViewDelegateProtocol::contentSizeDidChange(DZAdView&, gfx::Size) {}

void DZAdViewDelegateProtocol::didLoadVideoWithSize(DZAdView&, gfx::Size) {}

void DZAdViewDelegateProtocol::adViewDidRecordImpression(DZAdView&) {}

void DZAdViewDelegateProtocol::adViewDidRecordClick(DZAdView&) {}

std::shared_ptr<DZOpener> DZAdViewDelegateProtocol::opener() {
    return nullptr;
}

std::shared_ptr<DZAdViewSlot> DZAdViewDelegateProtocol::adViewSlot() {
    return nullptr;
}

}  // namespace ads
