#include "ads/web/dmsg/DZLiveViewDMSGHandler.h"

#include "ads/web/view/DZAdView.h"
#include "ads/web/view/DZAdViewLiveViewReporter.h"

namespace ads {

namespace {

// The Live View identifier a page names: "hashCode" read as an integer by
// the platform's rule (its leading digits).
std::optional<std::uint64_t> liveViewIDOf(const core::Dictionary& parameters) {
    const core::Value* hashCode = parameters.find("hashCode");
    if (!hashCode || hashCode->isNull()) return std::nullopt;
    return hashCode->uintValue();
}

}  // namespace

const DZDMSGHandler::ActionTable* DZLiveViewDMSGHandler::actionBlockDictionary() const {
    using H = DZLiveViewDMSGHandler;
    static const ActionTable table = {
        {"trackLiveViewUnit", action(&H::didReceiveLiveViewTrackNotification)},
        {"untrackLiveViewUnit", action(&H::didReceiveLiveViewUntrackNotification)},
        {"visibilityChanged", action(&H::didReceiveLiveViewVisibilityChangedNotification)},
    };
    return &table;
}

void DZLiveViewDMSGHandler::didReceiveLiveViewTrackNotification(
    const std::shared_ptr<DZAdView>& adView, const core::Dictionary&) {
    if (adView && adView->liveViewReporter()) adView->liveViewReporter()->start();
}

void DZLiveViewDMSGHandler::didReceiveLiveViewUntrackNotification(
    const std::shared_ptr<DZAdView>& adView, const core::Dictionary& parameters) {
    const auto reporter = adView ? adView->liveViewReporter() : nullptr;
    if (reporter && reporter->reporting()) {
        reporter->stop();
        return;
    }
    const auto liveViewID = liveViewIDOf(parameters);
    if (!liveViewID) return;
    if (const auto delegate = this->delegate())
        delegate->liveViewDMSGHandlerDidReceiveUntrackNotification(*this, *liveViewID);
}

void DZLiveViewDMSGHandler::didReceiveLiveViewVisibilityChangedNotification(
    const std::shared_ptr<DZAdView>&, const core::Dictionary& parameters) {
    const auto liveViewID = liveViewIDOf(parameters);
    const core::Value* visible = parameters.find("isVisible");
    if (!liveViewID || !visible || visible->isNull()) return;
    if (const auto delegate = this->delegate())
        delegate->liveViewDMSGHandlerDidReceiveVisibilityNotification(
            *this, visible->isString() && *visible->string() == "1", *liveViewID);
}

}  // namespace ads
